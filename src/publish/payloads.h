#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "state/panel_state.h"

namespace vp::publish {

// The whole plant as one JSON object (the retained `prefix/state` topic): its meaning first, then
// the panel's controls as a remote view applies them.
QJsonObject StateObject(const state::PanelState& state);
QByteArray Compact(const QJsonObject& object);

// One event: an entry that just went into one of the three lists, with the raw message.
QByteArray EventJson(const QDateTime& utc, state::List list, std::string_view entry,
                     std::string_view raw);

// The four pressures of the log tick (TG1, 1G1, 2G1, 1G3), numbers in mbar or null.
QByteArray PressureJson(const QDateTime& utc, const std::array<std::string, 4>& pressureTexts);

// A pressure text as the report carries it ("5.000E-3", "1.013E 3" with a blank for '+') in mbar;
// nullopt when it is not a finite number (empty, "---", garbage).
std::optional<double> PressureMbar(std::string_view text);

// 2026-12-07T04:22:00.123Z: always UTC, always with milliseconds.
QString IsoUtc(const QDateTime& utc);

// The fill controls the network carries: every shape but the two lamps, which blink at the
// frame rate and belong to the local line.
bool Published(state::Fill id);

}  // namespace vp::publish

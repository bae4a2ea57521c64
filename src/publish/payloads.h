// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "state/panel_state.h"
#include "state/quality.h"

namespace vp::publish {

// The tree's version, in every retained payload that has fields: a consumer can refuse what it
// does not know.
inline constexpr int kSchema = 2;

inline constexpr std::array<const char*, 4> kGaugeNames = {"TG1", "1G1", "2G1", "1G3"};
inline constexpr std::array<const char*, 8> kValveNames = {"3V1", "1V1", "2V1", "1V2",
                                                           "2V2", "1V3", "2V3", "1V4"};
inline constexpr std::array<const char*, 2> kTmpNames = {"TMP1", "TMP2"};

using Pressures = std::array<std::optional<double>, 4>;

// The pressures a consumer may take as current, in mbar: each null unless its gauge reported OK
// and the plant's quality is Good.
Pressures CurrentPressures(const state::PanelState& state, state::Quality quality);

// The plant's meaning (`prefix/state`): what the last report said, how good that is, and when the
// report that brought it arrived (reportUtcMs, 0: none yet).
QJsonObject StateObject(const state::PanelState& state, state::Quality quality,
                        std::int64_t reportUtcMs);

// What a remote view shows (`prefix/view`): the window's fills, captions and lists.
QJsonObject ViewObject(const state::PanelState& state);

// What moves at every poll (`prefix/stats`): the controller's uptime and the link's counters.
QJsonObject StatsObject(const state::PanelState& state);

// The compact text of a payload, numbers typed as JsonText writes them.
QByteArray Compact(const QJsonObject& object);

// A gauge's topic: the pressure in mbar as a bare number, or null.
QByteArray GaugeJson(std::optional<double> mbar);

// One event: an entry that just went into one of the three lists, with the raw message; seq
// counts the events of this run from 1, so a consumer sees one it missed.
QByteArray EventJson(const QDateTime& utc, std::int64_t seq, state::List list,
                     std::string_view entry, std::string_view raw);

// The four pressures of the log tick.
QByteArray PressureJson(const QDateTime& utc, const Pressures& pressures);

// A pressure text as the report carries it ("5.000E-3", "1.013E 3" with a blank for '+') in mbar;
// nullopt when it is not a finite number (empty, "---", garbage).
std::optional<double> PressureMbar(std::string_view text);

// 2026-12-07T04:22:00.123Z: always UTC, always with milliseconds.
QString IsoUtc(const QDateTime& utc);

// The fill controls the network carries: every shape but the two lamps, which blink at the
// frame rate and belong to the local line.
bool Published(state::Fill id);

}  // namespace vp::publish

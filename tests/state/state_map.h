// SPDX-License-Identifier: MIT
#pragma once

// The whole panel state by control name (captions, fills, lists, counters, last pressures), so a
// test states only what a message changed. A control nobody wrote reads "(unset)".
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTest>

#include "state/panel_state.h"

namespace vp::test {

using StateMap = QMap<QString, QString>;

inline QString Colour(state::ColourValue value) {
    return QStringLiteral("0x%1").arg(value, 8, 16, QLatin1Char('0'));
}

inline StateMap Snapshot(const state::PanelState& s) {
    using namespace vp::state;
    const QString unset = QStringLiteral("(unset)");
    StateMap map;
    for (std::size_t i = 0; i < kFillCount; ++i) {
        const auto id = static_cast<Fill>(i);
        map[Name(id)] = s.Known(id) ? Colour(s.FillOf(id)) : unset;
    }
    for (std::size_t i = 0; i < kTextCount; ++i) {
        const auto id = static_cast<Text>(i);
        map[Name(id)] = s.Known(id) ? QString::fromLatin1(s.Caption(id)) : unset;
    }
    for (std::size_t i = 0; i < kListCount; ++i) {
        QStringList entries;
        for (const std::string& entry : s.Entries(static_cast<List>(i)))
            entries << QString::fromLatin1(entry);
        map[Name(static_cast<List>(i))] = entries.join('\n');
    }
    map["CrcErrorCount"] = QString::number(s.CrcErrors());
    map["OperationErrorCount"] = QString::number(s.OperationErrors());
    map["ShownReports"] = QString::number(s.ShownReports());
    const char* gauges[] = {"TG1", "1G1", "2G1", "1G3"};
    for (int g = 0; g < 4; ++g)
        map[QStringLiteral("LastPressure") + gauges[g]] = QString::fromLatin1(s.LastPressure(g));
    return map;
}

// The entries of `after` that differ from `before`.
inline StateMap Changes(const StateMap& before, const StateMap& after) {
    StateMap changed;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (before.value(it.key()) != it.value()) changed[it.key()] = it.value();
    return changed;
}

// Every control a remote view takes over from the panel, the counters' captions included; not the
// lamps, and not the facts behind the captions.
inline StateMap RemoteShown(const state::PanelState& s) {
    StateMap map = Snapshot(s);
    map.removeIf([](auto it) {
        return it.key() == "shpSend" || it.key() == "shpRecv" || it.key() == "ShownReports" ||
               it.key().startsWith("LastPressure") || it.key().endsWith("ErrorCount");
    });
    return map;
}

inline bool AllGrey(const state::PanelState& s) {
    for (std::size_t i = 0; i < state::kIndicatorCount; ++i)
        if (s.FillOf(static_cast<state::Fill>(i)) != state::kGreyText) return false;
    return true;
}

}  // namespace vp::test

// Readable failure output for QCOMPARE on two maps.
inline char* toString(const vp::test::StateMap& map) {
    QStringList lines;
    for (auto it = map.begin(); it != map.end(); ++it)
        lines << it.key() + "=\"" + QString(it.value()).replace("\r\n", "\\r\\n") + '"';
    return QTest::toString(lines.join(QStringLiteral(", ")));
}

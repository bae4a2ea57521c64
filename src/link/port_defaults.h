// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <cstdint>

namespace vp::link {

// Where every start lands: port 3 at 115200 bit/s, no parity. The window's lists select it at
// load, the headless gateway opens it, and the built-in simulated controller serves it.
inline constexpr std::int16_t kStartPort = 3;
inline constexpr char kStartSpeed[] = "115200";
inline constexpr char kStartParity[] = "n";

// The port's settings text for a speed and a parity: the panel always uses 8 data bits and 1
// stop bit.
inline QString SettingsText(const QString& speed, const QString& parity) {
    return speed + ',' + parity + QStringLiteral(",8,1");
}

inline QString StartSettings() {
    return SettingsText(QString::fromLatin1(kStartSpeed), QString::fromLatin1(kStartParity));
}

}  // namespace vp::link

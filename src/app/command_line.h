// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "link/comm_port.h"
#include "publish/broker_url.h"
#include "publish/credentials.h"
#include "publish/mqtt_client.h"

namespace vp::app {

struct Options {
    link::PortNames ports;  // --port N=DEVICE
    QString screenshot;     // --screenshot FILE.png
    std::optional<double> quitAfterSeconds;
    bool simulate = false;
    QString record;                                   // --record FILE: the line's traffic, appended
    bool headless = false;                            // --headless: no window, connects at start
    std::optional<publish::BrokerUrl> publish;        // --publish URL
    std::optional<publish::BrokerUrl> view;           // --view URL: a window fed from the broker
    std::optional<publish::Credentials> credentials;  // --mqtt-credentials FILE
    publish::TlsFiles tls;                            // --mqtt-ca, --mqtt-cert, --mqtt-key
    QString logFolder;  // the daily pressure files' folder, from --config; empty: ./log
    QString discovery;             // --discovery [PREFIX]: Home Assistant's prefix; empty: none
    bool discoveryRemove = false;  // --discovery-remove: take the configs away, and end
    // Set when the program must end at once: 0 after --help/--version, 2 on a bad command line;
    // message is what to print (stdout for 0, stderr for 2).
    std::optional<int> exitCode;
    QString message;
};

// Reads the command line before any window system is needed, so that --help, --version and a
// bad option are answered without a display. --config FILE puts a plant's file beneath it. Qt's own
// options (-platform, -display, -style and the like) are let through for the application object
// that comes after.
Options ParseCommandLine(const QStringList& commandLine);

// The arguments as main receives them, in the local 8-bit encoding.
QStringList ArgumentList(int argc, char* argv[]);

}  // namespace vp::app

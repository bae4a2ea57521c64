// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

#include "base/result.h"

namespace vp::app {

// A plant's configuration file, /etc/vacuum-panel/<plant>.conf: INI lines "key = value", no
// sections. Every key stands for the command-line option of the same name, except two:
//   device      the serial device of port 3 (--port 3=DEVICE)
//   log-folder  the folder of the daily pressure files (default: ./log)
// The others: publish, mqtt-credentials, mqtt-ca, mqtt-cert, mqtt-key, record.
struct ConfigFile {
    QString path;
    // Option name and value in the file's order, device as "port" and "3=DEVICE".
    std::vector<std::pair<QString, QString>> options;
    QString logFolder;
};

// Reads and checks the file; a refusal is one line naming the file, and the line and key at fault
// where there is one ("FILE:LINE: key: why"), when it cannot be read, a line is not "key =
// value", a key is unknown or given twice, or a value is unusable (a bad URL, a credentials file
// others may read, a certificate that cannot be read).
Result<ConfigFile> ReadConfigFile(const QString& path);

// The file named by --config FILE or --config=FILE among the arguments, if any (none given is
// no failure).
std::optional<QString> ConfigFileArgument(const QStringList& arguments);

// The arguments with the file's options put in before the command line's own, each one left out
// when the command line gives its option: the command line overrides the file. --simulate
// overrides the device too, since it serves port 3 itself.
QStringList WithConfigFile(const QStringList& arguments, const ConfigFile& config);

}  // namespace vp::app

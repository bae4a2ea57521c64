// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace vp::record {

// Records the traffic of the line for a service engineer: every frame the panel writes and
// every message it cuts from the line, one line each:
//
//   <ms since 1970-01-01 UTC> TAB TX|RX TAB <bytes> [TAB ok|crc-error]
//
// Bytes are escaped so that a line stays one line and every byte survives: \\ \r \n \t, and
// \xHH for anything outside printable ASCII. Only received messages carry a checksum verdict.
// Each line is written at once (no buffer to lose on a crash); the first failure ends the
// recording and is reported once. The record may be a pipe or a named pipe (FIFO): nothing here
// ever waits for its reader. A FIFO records from the moment a reader opens it, and a reader that
// goes away, or falls behind by a whole pipe, is a failed write.
class TrafficRecorder {
public:
    static constexpr std::string_view kHeader = "# vacuum-panel traffic record 1";

    // Opens (appending) the record file; fails with the description when it cannot.
    Result<> Open(const QString& path);

    // Each fails with the operator's notice the first time writing fails; later calls succeed
    // doing nothing, since the recording has ended.
    Result<> Sent(std::string_view frame);
    Result<> Received(std::string_view message, bool checksumOk);

    // Open, or waiting for the reader of a FIFO.
    bool IsRecording() const { return file_.isOpen() || waitingForReader_; }

    static std::string Escape(std::string_view bytes);
    // The inverse of Escape; nullopt for a malformed escape.
    static std::optional<std::string> Unescape(std::string_view text);

private:
    // Opens the file without waiting; succeeds when it is open or a FIFO still has no reader.
    Result<> OpenNow();
    Result<> Write(std::string_view direction, std::string_view bytes, std::string_view verdict);
    Result<> WriteLine(const std::string& line);

    QString path_;
    QFile file_;
    bool waitingForReader_ = false;
};

}  // namespace vp::record

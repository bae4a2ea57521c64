// SPDX-License-Identifier: MIT
#include "record/traffic_recorder.h"

#include <QDateTime>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace vp::record {

namespace {

Failure Notice(const QString& reason) {
    return Fail("Could not write traffic record: " + reason);
}

}  // namespace

Result<> TrafficRecorder::Open(const QString& path) {
#ifdef Q_OS_UNIX
    // A reader of a pipe that goes away would end the panel with SIGPIPE; ignored, it is a
    // failed write (EPIPE) like any other.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    path_ = path;
    waitingForReader_ = false;
    return OpenNow();
}

Result<> TrafficRecorder::OpenNow() {
    waitingForReader_ = false;
#ifdef Q_OS_UNIX
    // Non-blocking: opening a FIFO that has no reader would otherwise wait for one before the
    // window shows, and a write into a full pipe would hold the window up.
    const QByteArray path = QFile::encodeName(path_);
    const int fd =
        ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        if (error != ENXIO || ::stat(path.constData(), &st) != 0 || !S_ISFIFO(st.st_mode))
            return Notice(qt_error_string(error));
        waitingForReader_ = true;  // a FIFO without its reader yet
        return {};
    }
    if (!file_.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Notice(file_.errorString());
    }
#else
    file_.setFileName(path_);
    if (!file_.open(QIODevice::Append | QIODevice::Unbuffered)) return Notice(file_.errorString());
#endif
    // A pipe starts a new stream for its reader; a file gets the header once.
    if (file_.isSequential() || file_.size() == 0) return WriteLine(std::string(kHeader) + "\n");
    return {};
}

Result<> TrafficRecorder::Sent(std::string_view frame) {
    return Write("TX", frame, {});
}

Result<> TrafficRecorder::Received(std::string_view message, bool checksumOk) {
    return Write("RX", message, checksumOk ? "ok" : "crc-error");
}

Result<> TrafficRecorder::Write(std::string_view direction, std::string_view bytes,
                                std::string_view verdict) {
    if (waitingForReader_) {
        if (auto opened = OpenNow(); !opened.ok()) return opened;
    }
    if (!file_.isOpen()) return {};
    std::string line = std::to_string(QDateTime::currentMSecsSinceEpoch());
    line += '\t';
    line += direction;
    line += '\t';
    line += Escape(bytes);
    if (!verdict.empty()) {
        line += '\t';
        line += verdict;
    }
    line += '\n';
    return WriteLine(line);
}

Result<> TrafficRecorder::WriteLine(const std::string& line) {
    // A write cut short sets no error; offering the rest again makes the system name its reason
    // (disk full, file too large) instead of "Unknown error".
    for (qint64 done = 0; done < qint64(line.size());) {
        const qint64 n = file_.write(line.data() + done, qint64(line.size()) - done);
        if (n <= 0) {
            const QString reason = file_.errorString();
            file_.close();  // one notice, then the panel goes on without recording
            return Notice(reason);
        }
        done += n;
    }
    return {};
}

std::string TrafficRecorder::Escape(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (b) {
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (b >= 0x20 && b < 0x7F) {
                    out += c;
                } else {
                    out += "\\x";
                    out += kHex[b >> 4];
                    out += kHex[b & 0xF];
                }
        }
    }
    return out;
}

std::optional<std::string> TrafficRecorder::Unescape(std::string_view text) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                if (i + 2 >= text.size()) return std::nullopt;
                const int hi = hex(text[i + 1]), lo = hex(text[i + 2]);
                if (hi < 0 || lo < 0) return std::nullopt;
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace vp::record

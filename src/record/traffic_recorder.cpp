#include "record/traffic_recorder.h"

#include <QDateTime>

namespace vp::record {

namespace {
QString Notice(const QString& reason) {
    return "Could not write traffic record: " + reason;
}
}  // namespace

std::optional<QString> TrafficRecorder::Open(const QString& path) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::Append | QIODevice::Unbuffered)) return Notice(file_.errorString());
    if (file_.size() == 0) {
        const std::string header = std::string(kHeader) + "\n";
        if (file_.write(header.data(), qint64(header.size())) != qint64(header.size())) {
            const QString reason = file_.errorString();
            file_.close();
            return Notice(reason);
        }
    }
    return std::nullopt;
}

std::optional<QString> TrafficRecorder::Sent(std::string_view frame) {
    return Write("TX", frame, {});
}

std::optional<QString> TrafficRecorder::Received(std::string_view message, bool checksumOk) {
    return Write("RX", message, checksumOk ? "ok" : "crc-error");
}

std::optional<QString> TrafficRecorder::Write(std::string_view direction, std::string_view bytes,
                                              std::string_view verdict) {
    if (!file_.isOpen()) return std::nullopt;
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
    if (file_.write(line.data(), qint64(line.size())) == qint64(line.size())) return std::nullopt;
    const QString reason = file_.errorString();
    file_.close();  // one notice, then the panel goes on without recording
    return Notice(reason);
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

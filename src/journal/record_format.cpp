// SPDX-License-Identifier: MIT
#include "journal/record_format.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "record/traffic_recorder.h"

namespace vp::journal {

namespace {

// The civil date of a day count since 1970 (H. Hinnant's algorithm): a year of records is half a
// million time texts, and QDateTime's formatting made them the reader's main cost.
void CivilDate(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

// yyyy-MM-dd HH:mm:ss.zzz in local time, or yyyy-MM-ddTHH:mm:ss.zzzZ in UTC.
std::string TimeText(std::int64_t ms, bool utc) {
    std::int64_t shifted = ms;
    if (!utc) {
        // The zone's offset asked once a quarter hour of records: no zone moves its clocks finer.
        static std::int64_t cachedQuarter = INT64_MIN;
        static long offsetSeconds = 0;
        const std::int64_t quarter = (ms >= 0 ? ms : ms - 899999) / 900000;
        if (quarter != cachedQuarter) {
            const time_t seconds = static_cast<time_t>(quarter * 900);
            tm local{};
            localtime_r(&seconds, &local);
            offsetSeconds = local.tm_gmtoff;
            cachedQuarter = quarter;
        }
        shifted += offsetSeconds * 1000LL;
    }
    const std::int64_t days = (shifted >= 0 ? shifted : shifted - 86399999) / 86400000;
    const std::int64_t inDay = shifted - days * 86400000;
    int year = 0, month = 0, day = 0;
    CivilDate(days, year, month, day);
    char text[40];
    std::snprintf(
        text, sizeof text,
        utc ? "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ" : "%04d-%02d-%02d %02d:%02d:%02d.%03d", year,
        month, day, static_cast<int>(inDay / 3600000), static_cast<int>(inDay / 60000 % 60),
        static_cast<int>(inDay / 1000 % 60), static_cast<int>(inDay % 1000));
    return text;
}

std::string LocalTime(std::int64_t ms) {
    return TimeText(ms, false);
}

std::string UtcTime(std::int64_t ms) {
    return TimeText(ms, true);
}

// A JSON string of UTF-8 text.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", b);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::string JsonOrNull(const std::string& text) {
    return text.empty() ? std::string("null") : JsonString(text);
}

void Pad(std::string& line, const std::string& field, std::size_t width) {
    line += field;
    line.append(field.size() < width ? width - field.size() : 0, ' ');
    line += ' ';
}

std::string Quoted(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

}  // namespace

std::string EscapeBytes(const std::string& bytes) {
    // As the traffic record writes the line's bytes, so a frame reads the same in both.
    return record::TrafficRecorder::Escape(bytes);
}

std::string TextLine(const Row& row) {
    const Entry& e = row.entry;
    std::string line;
    line.reserve(96 + e.text.size());
    Pad(line, LocalTime(e.timeMs), 23);
    Pad(line, e.source, 6);
    Pad(line, KindWord(e.kind), 8);
    const std::string code = e.code ? std::to_string(*e.code) : std::string();
    line.append(code.size() < 3 ? 3 - code.size() : 0, ' ');
    line += code;
    line += ' ';
    if (!e.control.empty()) line += e.control + ": ";
    line += e.text;
    line += '\n';
    return line;
}

std::string CsvHeader() {
    return "time,run,source,kind,code,control,text,raw\r\n";
}

std::string CsvLine(const Row& row) {
    const Entry& e = row.entry;
    return UtcTime(e.timeMs) + ',' + std::to_string(row.run) + ',' + Quoted(e.source) + ',' +
           KindWord(e.kind) + ',' + (e.code ? std::to_string(*e.code) : std::string()) + ',' +
           Quoted(e.control) + ',' + Quoted(e.text) + ',' + Quoted(EscapeBytes(e.raw)) + "\r\n";
}

std::string JsonObject(const Row& row) {
    const Entry& e = row.entry;
    return "{\"time\":\"" + UtcTime(e.timeMs) + "\",\"id\":" + std::to_string(row.id) +
           ",\"run\":" + std::to_string(row.run) + ",\"source\":" + JsonString(e.source) +
           ",\"kind\":\"" + KindWord(e.kind) +
           "\",\"code\":" + (e.code ? std::to_string(*e.code) : std::string("null")) +
           ",\"control\":" + JsonOrNull(e.control) + ",\"text\":" + JsonString(e.text) +
           ",\"raw\":" + JsonOrNull(EscapeBytes(e.raw)) + "}";
}

}  // namespace vp::journal

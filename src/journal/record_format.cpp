#include "journal/record_format.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace vp::journal {

namespace {

std::string LocalTime(std::int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
        .toStdString();
}

std::string UtcTime(std::int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs).toStdString();
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
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
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
                if (b < 0x20 || b >= 0x7f) {
                    out += "\\x";
                    out += kHex[b >> 4];
                    out += kHex[b & 0xf];
                } else {
                    out += c;
                }
        }
    }
    return out;
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
    QJsonObject object{
        {QStringLiteral("time"), QString::fromStdString(UtcTime(e.timeMs))},
        {QStringLiteral("id"), static_cast<qint64>(row.id)},
        {QStringLiteral("run"), static_cast<qint64>(row.run)},
        {QStringLiteral("source"), QString::fromStdString(e.source)},
        {QStringLiteral("kind"), QLatin1String(KindWord(e.kind))},
        {QStringLiteral("code"), e.code ? QJsonValue(*e.code) : QJsonValue()},
        {QStringLiteral("control"),
         e.control.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(e.control))},
        {QStringLiteral("text"), QString::fromStdString(e.text)},
        {QStringLiteral("raw"),
         e.raw.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(EscapeBytes(e.raw)))},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace vp::journal

// SPDX-License-Identifier: MIT
#include "publish/json_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <charconv>
#include <cmath>

namespace vp::publish {

namespace {

// Marks a string as a number's text: no Latin-1 text from the line can start with it.
constexpr QChar kFloatMark(0xFFFF);

void Write(const QJsonValue& value, QByteArray& out);

void WriteString(const QString& text, QByteArray& out) {
    // Qt's own writer escapes strings as JSON wants them.
    const QByteArray quoted = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    out.append(quoted.constData() + 1, quoted.size() - 2);
}

void Write(const QJsonValue& value, QByteArray& out) {
    switch (value.type()) {
        case QJsonValue::Null:
        case QJsonValue::Undefined:
            out.append("null");
            return;
        case QJsonValue::Bool:
            out.append(value.toBool() ? "true" : "false");
            return;
        case QJsonValue::Double:
            out.append(
                QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).mid(1).chopped(1));
            return;
        case QJsonValue::String: {
            const QString text = value.toString();
            if (text.startsWith(kFloatMark))
                out.append(text.mid(1).toLatin1());
            else
                WriteString(text, out);
            return;
        }
        case QJsonValue::Array: {
            out.append('[');
            const QJsonArray array = value.toArray();
            for (qsizetype i = 0; i < array.size(); ++i) {
                if (i) out.append(',');
                Write(array.at(i), out);
            }
            out.append(']');
            return;
        }
        case QJsonValue::Object: {
            out.append('{');
            const QJsonObject object = value.toObject();
            bool first = true;
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (!first) out.append(',');
                first = false;
                WriteString(it.key(), out);
                out.append(':');
                Write(it.value(), out);
            }
            out.append('}');
            return;
        }
    }
}

}  // namespace

QByteArray FloatText(double value) {
    if (!std::isfinite(value)) return QByteArrayLiteral("null");  // JSON has no infinity
    char buffer[32];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    if (error != std::errc()) return QByteArrayLiteral("null");
    // 1.013e+03 -> 1.013e3, 5e-03 -> 5e-3, 0e+00 -> 0e0
    QByteArray text(buffer, end - buffer);
    const qsizetype e = text.indexOf('e');
    QByteArray exponent = text.mid(e + 1);
    const bool negative = exponent.startsWith('-');
    exponent.remove(0, 1);
    while (exponent.size() > 1 && exponent.startsWith('0')) exponent.remove(0, 1);
    text.truncate(e + 1);
    if (negative) text.append('-');
    return text.append(exponent);
}

QJsonValue Float(double value) {
    return QString(kFloatMark) + QString::fromLatin1(FloatText(value));
}

QByteArray JsonText(const QJsonValue& value) {
    QByteArray out;
    Write(value, out);
    return out;
}

}  // namespace vp::publish

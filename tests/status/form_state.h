#pragma once

// What a test can read back from the window after a message: every caption, fill, text and list,
// the status flag and the last pressure texts, by name, so a test states only what changed.
#include <QByteArray>
#include <QListWidget>
#include <QMap>
#include <QString>
#include <QTest>

#include "panel/form1.h"

namespace vp::test {

using FormState = QMap<QString, QString>;

// Body, then the sum of its bytes modulo 256 as three digits: the frame the controller sends.
inline QByteArray Framed(const QByteArray& body) {
    unsigned sum = 0;
    for (char c : body) sum += static_cast<unsigned char>(c);
    return body + QByteArray::number(sum % 256).rightJustified(3, '0');
}

inline QByteArray Byte(int code) {
    return QByteArray(1, static_cast<char>(code));
}

inline QString Fill(panel::ColourValue value) {
    return QStringLiteral("0x%1").arg(value, 8, 16, QLatin1Char('0'));
}

inline FormState StateOf(panel::Form1& form) {
    FormState state;
    for (auto* label : form.findChildren<panel::Label*>())
        state[label->objectName()] = label->Caption();
    for (auto* shape : form.findChildren<panel::Shape*>())
        state[shape->objectName()] = Fill(shape->FillColor());
    for (auto* box : form.findChildren<panel::TextBox*>()) state[box->objectName()] = box->text();
    for (auto* list : form.findChildren<QListWidget*>()) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
        state[list->objectName()] = items.join(QLatin1Char('\n'));
    }
    state[QStringLiteral("StatusSeen")] = QString::number(form.polls().StatusSeen);
    const char* gauges[] = {"TG1", "1G1", "2G1", "1G3"};
    for (int g = 0; g < 4; ++g)
        state[QStringLiteral("LastPressure") + QLatin1String(gauges[g])] =
            QString::fromLatin1(form.display().LastPressures()[g]);
    return state;
}

// The entries of `after` that differ from `before`.
inline FormState Changes(const FormState& before, const FormState& after) {
    FormState changed;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (before.value(it.key()) != it.value()) changed[it.key()] = it.value();
    return changed;
}

}  // namespace vp::test

// Readable failure output for QCOMPARE on two states.
inline char* toString(const vp::test::FormState& state) {
    QStringList lines;
    for (auto it = state.begin(); it != state.end(); ++it)
        lines << it.key() + "=\"" + QString(it.value()).replace("\r\n", "\\r\\n") + '"';
    return QTest::toString(lines.join(QStringLiteral(", ")));
}

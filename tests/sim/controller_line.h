// SPDX-License-Identifier: MIT
#pragma once

// The panel's reading of controller lines, written here from the line layout alone so the
// simulator's own encoder is not trusted to check itself.

#include <QByteArray>
#include <QList>
#include <QSerialPort>
#include <QString>
#include <algorithm>

#include "protocol/lines.h"

namespace simtest {

inline QByteArray FrameCommand(const QByteArray& body) {
    return vp::test::Signed(body) + '\r';
}

// `line` without its CR, checksum digits at the end.
inline bool ChecksumOk(const QByteArray& line) {
    return line.size() >= 3 && FrameCommand(line.chopped(3)) == line + '\r';
}

inline int Kind(const QByteArray& line) {
    return line.left(3).toInt();
}

// Positions count from 1, as in the line layout.
inline int CodeAt(const QByteArray& line, int position) {
    return position <= line.size() ? static_cast<unsigned char>(line[position - 1]) : -1;
}

inline QByteArray FieldAt(const QByteArray& line, int position, int length) {
    return line.mid(position - 1, length);
}

inline bool IsDigits(const QByteArray& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The panel's end of the line: a real serial port that gathers what arrives into lines.
class PanelEnd {
public:
    bool Open(const QString& device) {
        port.setPortName(device);
        if (!port.open(QIODevice::ReadWrite)) return false;
        port.setBaudRate(QSerialPort::Baud115200);
        QObject::connect(&port, &QSerialPort::readyRead, &port, [this] {
            ++ready_reads;
            raw.append(port.readAll());
        });
        return true;
    }

    void Send(const QByteArray& body) { SendRaw(FrameCommand(body)); }
    void SendRaw(const QByteArray& bytes) {
        port.write(bytes);
        port.flush();
    }

    // Complete lines so far, without their CR.
    QList<QByteArray> Lines() const {
        QList<QByteArray> lines = raw.split('\r');
        lines.removeLast();  // the unfinished rest
        return lines;
    }
    qsizetype LineCount() const { return raw.count('\r'); }
    void Clear() {
        raw.clear();
        ready_reads = 0;
    }

    QSerialPort port;
    QByteArray raw;
    int ready_reads = 0;
};

}  // namespace simtest

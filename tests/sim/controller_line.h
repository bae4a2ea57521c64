#pragma once

// The panel's reading of controller lines, written here from the line layout alone so the
// simulator's own encoder is not trusted to check itself.

#include <QByteArray>
#include <QList>
#include <QSerialPort>
#include <QString>
#include <cstdint>

namespace simtest {

inline QByteArray FrameCommand(const QByteArray& body) {
    int sum = 0;
    for (char c : body) sum += static_cast<unsigned char>(c);
    return body + QByteArray::number(sum % 256).rightJustified(3, '0') + '\r';
}

// `line` without its CR, checksum digits at the end.
inline bool ChecksumOk(const QByteArray& line) {
    if (line.size() < 3) return false;
    int sum = 0;
    for (qsizetype i = 0; i < line.size() - 3; ++i) sum += static_cast<unsigned char>(line[i]);
    bool ok = false;
    const int given = line.right(3).toInt(&ok);
    return ok && line.right(3).size() == 3 && given == sum % 256;
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
    if (text.isEmpty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The panel's end of the line: a real serial port that gathers what arrives into lines.
class PanelEnd {
public:
    bool Open(const QString& device) {
        port.setPortName(device);
        if (!port.open(QIODevice::ReadWrite)) return false;
        port.setBaudRate(QSerialPort::Baud115200);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
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

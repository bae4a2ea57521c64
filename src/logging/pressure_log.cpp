// SPDX-License-Identifier: MIT
#include "logging/pressure_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringView>
#include <utility>

namespace vp::logging {

namespace {

constexpr char kTitle[] = "Merivax vacuum (all pressures in milibars)";
constexpr char kGaugeNames[] = "\tTG1\t1G1\t2G1\t1G3";
constexpr char kLineEnd[] = "\r\n";

// A regional short date such as 06/12/2026 would otherwise point into folders that do not exist.
QString FileNameSafe(QString dateText) {
#ifdef Q_OS_WIN
    constexpr QStringView forbidden = u"/\\:*?\"<>|";
#else
    constexpr QStringView forbidden = u"/";
#endif
    for (QChar& c : dateText) {
        if (forbidden.contains(c)) c = u'-';
    }
    return dateText;
}

Failure Notice(const QString& reason) {
    return Fail(QStringLiteral("Could not open log file for writing: ") + reason);
}

// QFile reports a short write without an error; offering the rest again makes the device name its
// failure (disk full, file too large) instead of leaving "Unknown error".
bool WriteAll(QFile& file, const QByteArray& text) {
    qint64 done = 0;
    while (done < text.size()) {
        const qint64 n = file.write(text.constData() + done, text.size() - done);
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

}  // namespace

PressureLog::PressureLog(const Clock& clock, QString folder, QString subfolder)
    : clock_(clock), folder_(std::move(folder)), subfolder_(std::move(subfolder)) {}

QString PressureLog::FilePath() const {
    return FilePathFor(clock_.ShortDateText());
}

QString PressureLog::FilePathFor(const QString& dateText) const {
    // The current directory is looked up at each tick: the operator may start the panel anywhere.
    const QDir base(folder_.isEmpty() ? QDir::currentPath() : folder_);
    const QString name = FileNameSafe(dateText) + QStringLiteral(".dat");
    return QDir::toNativeSeparators(
        base.filePath(subfolder_.isEmpty() ? name : subfolder_ + QLatin1Char('/') + name));
}

Result<> PressureLog::Tick(const std::array<QByteArray, 4>& pressures) {
    const QString dateText = clock_.ShortDateText();
    const QString timeText = clock_.LongTimeText();
    const QString path = FilePathFor(dateText);
    const bool fresh = !QFileInfo::exists(path);

    // The whole tick goes out in one write, so a failure leaves no header without its record.
    QByteArray text;
    if (fresh) {
        text += kTitle;
        text += kLineEnd;
        text += dateText.toLocal8Bit();
        text += kGaugeNames;
        text += kLineEnd;
        text += kLineEnd;
    }
    text += timeText.toLocal8Bit();
    for (const QByteArray& pressure : pressures) {
        text += '\t';
        text += pressure;
    }
    text += kLineEnd;

    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::Unbuffered)) return Notice(file.errorString());
    const bool regular = QFileInfo(path).isFile();
    const qint64 sizeBefore = regular ? file.size() : 0;

    if (!WriteAll(file, text) || !file.flush()) {
        const QString reason = file.errorString();
        // Undo what got through: a file this tick created must vanish so the next tick writes the
        // header again, and an older file must not keep half a record.
        if (fresh && regular) {
            file.remove();
        } else if (regular) {
            file.resize(sizeBefore);
        }
        return Notice(reason);
    }
    file.close();
    if (file.error() != QFileDevice::NoError) return Notice(file.errorString());
    return {};
}

}  // namespace vp::logging

#include "trend/log_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cmath>

#include "trend/pressure_value.h"
#include "trend/regional_time.h"

namespace vp::trend {

const std::array<QString, kGaugeCount> kGaugeNames = {QStringLiteral("TG1"), QStringLiteral("1G1"),
                                                      QStringLiteral("2G1"), QStringLiteral("1G3")};

namespace {

constexpr char kTitle[] = "Merivax vacuum (all pressures in milibars)";
// No record of the panel comes near this; longer lines are quoted cut short.
constexpr qsizetype kMaxLineBytes = 1024;
constexpr qsizetype kQuoteChars = 40;

QString Quote(QByteArrayView bytes) {
    QString text = QString::fromLocal8Bit(bytes.first(std::min(bytes.size(), kQuoteChars)));
    for (QChar& c : text) {
        if (!c.isPrint()) c = u'?';
    }
    return u'"' + text +
           (bytes.size() > kQuoteChars ? QStringLiteral("...\"") : QStringLiteral("\""));
}

class Reader {
public:
    Reader(LogFile& log, const ReadOptions& options) : log_(log), options_(options) {}

    void Problem(int line, const QString& what) {
        if (log_.problems.size() >= kMaxProblems) {
            ++log_.problemsLeftOut;
            return;
        }
        log_.problems << (line > 0 ? QStringLiteral("%1:%2: %3").arg(log_.path).arg(line).arg(what)
                                   : QStringLiteral("%1: %2").arg(log_.path, what));
    }

    bool Header(const QList<QByteArray>& lines) {
        if (lines.isEmpty() || (lines.size() == 1 && lines[0].isEmpty())) {
            Problem(0, QStringLiteral("empty file, not a pressure log"));
            return false;
        }
        if (lines[0] != kTitle) {
            Problem(1, QStringLiteral("not a pressure log: line 1 is %1, expected \"%2\"")
                           .arg(Quote(lines[0]), QString::fromLatin1(kTitle)));
            return false;
        }
        const QList<QByteArray> fields =
            lines.size() > 1 ? lines[1].split('\t') : QList<QByteArray>{};
        bool names = fields.size() == 1 + kGaugeCount;
        for (int g = 0; names && g < kGaugeCount; ++g)
            names = QString::fromLatin1(fields[1 + g]) == kGaugeNames[g];
        if (!names) {
            Problem(2, QStringLiteral("not a pressure log: line 2 is %1, expected the date and "
                                      "TG1, 1G1, 2G1, 1G3 separated by TABs")
                           .arg(Quote(lines.size() > 1 ? lines[1] : QByteArray())));
            return false;
        }
        log_.isLog = true;
        const QString dateText = QString::fromLocal8Bit(fields[0]);
        if (auto date = ReadDateText(dateText, options_.regional)) {
            log_.date = *date;
            return true;
        }
        const QString name = QFileInfo(log_.path).completeBaseName();
        if (auto date = ReadDateText(name, options_.regional)) {
            log_.date = *date;
            Problem(2, QStringLiteral("date text %1 is not a date (tried %2); using the file "
                                      "name's date %3")
                           .arg(Quote(fields[0]), DateFormsTried(options_.regional),
                                date->toString(Qt::ISODate)));
            return true;
        }
        Problem(2, QStringLiteral("neither the date text %1 nor the file name is a date (tried "
                                  "%2): its records cannot be placed in time")
                       .arg(Quote(fields[0]), DateFormsTried(options_.regional)));
        return false;
    }

    void RecordLine(int line, const QByteArray& text) {
        if (text.size() > kMaxLineBytes) {
            Problem(line, QStringLiteral("malformed record: %1 bytes long").arg(text.size()));
            return;
        }
        const QList<QByteArray> fields = text.split('\t');
        if (fields.size() != 1 + kGaugeCount) {
            Problem(line, QStringLiteral("malformed record %1: expected a time and four pressures "
                                         "separated by TABs, found %2 field(s)")
                              .arg(Quote(text))
                              .arg(fields.size()));
            return;
        }
        const auto time = ReadTimeText(QString::fromLocal8Bit(fields[0]), options_.regional);
        if (!time) {
            Problem(line, QStringLiteral("time text %1 is not a time of day (tried %2)")
                              .arg(Quote(fields[0]), TimeFormsTried(options_.regional)));
            return;
        }
        Record record;
        record.line = line;
        record.time = QDateTime(log_.date, *time);
        for (int g = 0; g < kGaugeCount; ++g) {
            const QByteArray& field = fields[1 + g];
            if (field.isEmpty()) continue;  // gauge not reported OK yet
            const auto mbar = ReadPressureText(field);
            if (!mbar) {
                Problem(line, QStringLiteral("%1 value %2 is not a pressure text like "
                                             "\"5.000E-3\" or \"1.013E 3\"")
                                  .arg(kGaugeNames[g], Quote(field)));
            } else if (!(*mbar > 0) || !std::isfinite(*mbar)) {
                Problem(line, QStringLiteral("%1 value %2 cannot be drawn on a logarithmic axis")
                                  .arg(kGaugeNames[g], Quote(field)));
            } else {
                record.mbar[g] = *mbar;
            }
        }
        log_.records.push_back(record);
    }

private:
    LogFile& log_;
    const ReadOptions& options_;
};

QList<QByteArray> SplitLines(QByteArray content, bool tailMayGrow) {
    if (tailMayGrow) {
        // Whatever follows the last line end is still being written.
        content.truncate(content.lastIndexOf('\n') + 1);
    }
    if (content.endsWith('\n')) content.chop(1);
    QList<QByteArray> lines = content.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) line.chop(1);
    }
    return lines;
}

QByteArray ReadHead(const QString& path, qint64 bytes, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    if (file.size() > kMaxLogBytes) {
        *error = QStringLiteral("%1 bytes, too large for a daily pressure log").arg(file.size());
        return {};
    }
    return file.read(bytes);
}

}  // namespace

LogFile ReadLog(const QByteArray& content, const QString& path, const ReadOptions& options) {
    LogFile log;
    log.path = path;
    Reader reader(log, options);
    const QList<QByteArray> lines = SplitLines(content, options.tailMayGrow);
    if (options.tailMayGrow && lines.size() == 1 && lines[0].isEmpty()) return log;  // not yet
    if (!reader.Header(lines)) return log;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        if (lines[i].isEmpty()) continue;  // line 3 is empty by design
        reader.RecordLine(static_cast<int>(i + 1), lines[i]);
    }
    return log;
}

LogFile ReadLogFile(const QString& path, const ReadOptions& options) {
    QString error;
    const QByteArray content = ReadHead(path, kMaxLogBytes, &error);
    if (!error.isEmpty()) {
        LogFile log;
        log.path = path;
        log.problems << QStringLiteral("%1: cannot read: %2").arg(path, error);
        return log;
    }
    return ReadLog(content, path, options);
}

std::optional<QDate> ReadLogDate(const QString& path, const QLocale& regional) {
    QString error;
    // The title, the date line and a little more: enough for the header.
    QByteArray head = ReadHead(path, 512, &error);
    if (!error.isEmpty()) return std::nullopt;
    const qsizetype end = head.lastIndexOf('\n');
    head.truncate(end + 1);
    ReadOptions options;
    options.regional = regional;
    const LogFile log = ReadLog(head, path, options);
    if (!log.isLog || !log.date.isValid()) return std::nullopt;
    return log.date;
}

}  // namespace vp::trend

// SPDX-License-Identifier: MIT
#include "trend/log_reader.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "trend/pressure_value.h"
#include "trend/regional_time.h"

namespace vp::trend {

const std::array<QString, kGaugeCount> kGaugeNames = {QStringLiteral("TG1"), QStringLiteral("1G1"),
                                                      QStringLiteral("2G1"), QStringLiteral("1G3")};

bool LogFile::HasReadings() const {
    for (const auto& column : mbar) {
        for (const float value : column) {
            if (!std::isnan(value)) return true;
        }
    }
    return false;
}

namespace {

constexpr char kTitle[] = "Merivax vacuum (all pressures in milibars)";
// No record of the panel comes near this; longer lines are quoted cut short.
constexpr qsizetype kMaxLineBytes = 1024;
constexpr qsizetype kQuoteChars = 40;
constexpr qint64 kDayMsecs = 24 * 3600 * 1000;
constexpr float kNoReading = std::numeric_limits<float>::quiet_NaN();

QString Quote(QByteArrayView bytes) {
    QString text = QString::fromLocal8Bit(bytes.first(std::min(bytes.size(), kQuoteChars)));
    for (QChar& c : text) {
        if (!c.isPrint()) c = u'?';
    }
    return u'"' + text +
           (bytes.size() > kQuoteChars ? QStringLiteral("...\"") : QStringLiteral("\""));
}

// Cuts a file's text into lines without CR LF, copying nothing: a year of logs is 25 MB of them.
class LineCursor {
public:
    explicit LineCursor(QByteArrayView text) : text_(text) {}

    bool Next(QByteArrayView* line) {
        if (at_ >= text_.size()) return false;
        const char* start = text_.data() + at_;
        const auto* nl = static_cast<const char*>(std::memchr(start, '\n', text_.size() - at_));
        const qsizetype length = nl ? nl - start : text_.size() - at_;
        at_ += length + 1;
        *line = QByteArrayView(start, length);
        if (line->endsWith('\r')) line->chop(1);
        ++number_;
        return true;
    }
    int Number() const { return number_; }

private:
    QByteArrayView text_;
    qsizetype at_ = 0;
    int number_ = 0;
};

// Splits at TABs into at most `fields.size()` views; returns how many fields there are in all.
template <size_t N>
qsizetype SplitTabs(QByteArrayView line, std::array<QByteArrayView, N>& fields) {
    qsizetype count = 0, start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] != '\t') continue;
        if (count < static_cast<qsizetype>(N)) fields[count] = line.sliced(start, i - start);
        ++count;
        start = i + 1;
    }
    return count;
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

    bool Header(QByteArrayView title, std::optional<QByteArrayView> dateLine) {
        if (title != kTitle) {
            Problem(1, QStringLiteral("not a pressure log: line 1 is %1, expected \"%2\"")
                           .arg(Quote(title), QString::fromLatin1(kTitle)));
            return false;
        }
        std::array<QByteArrayView, 1 + kGaugeCount> fields;
        bool names = dateLine && SplitTabs(*dateLine, fields) == 1 + kGaugeCount;
        for (int g = 0; names && g < kGaugeCount; ++g)
            names = QString::fromLatin1(fields[1 + g]) == kGaugeNames[g];
        if (!names) {
            Problem(2, QStringLiteral("not a pressure log: line 2 is %1, expected the date and "
                                      "TG1, 1G1, 2G1, 1G3 separated by TABs")
                           .arg(Quote(dateLine.value_or(QByteArrayView()))));
            return false;
        }
        log_.isLog = true;
        log_.dateText = QString::fromLocal8Bit(fields[0]);
        const QLocale& regional = options_.regional;
        if (const auto reading = ReadDate(log_.dateText, regional, options_.dateForm)) {
            SetDate(*reading);
            return true;
        }
        const QString name = QFileInfo(log_.path).completeBaseName();
        if (const auto reading = ReadDate(name, regional, options_.dateForm)) {
            SetDate(*reading);
            Problem(2, QStringLiteral("date text %1 is not a date (tried %2); using the file "
                                      "name's date %3")
                           .arg(Quote(fields[0]), DateFormsTried(regional),
                                reading->date.toString(Qt::ISODate)));
            return true;
        }
        Problem(2, QStringLiteral("its date line holds %1, and neither that nor the file name is "
                                  "a date in the forms tried (%2); name the form with "
                                  "--date-format, e.g. --date-format d/M/yy")
                       .arg(Quote(fields[0]), DateFormsTried(regional)));
        return false;
    }

    void RecordLine(int line, QByteArrayView text) {
        if (text.size() > kMaxLineBytes) {
            Problem(line, QStringLiteral("malformed record: %1 bytes long").arg(text.size()));
            return;
        }
        std::array<QByteArrayView, 1 + kGaugeCount> fields;
        const qsizetype count = SplitTabs(text, fields);
        if (count != 1 + kGaugeCount) {
            Problem(line, QStringLiteral("malformed record %1: expected a time and four pressures "
                                         "separated by TABs, found %2 field(s)")
                              .arg(Quote(text))
                              .arg(count));
            return;
        }
        const auto ms = TimeOf(fields[0]);
        if (!ms) {
            Problem(line, QStringLiteral("time text %1 is not a time of day (tried %2)")
                              .arg(Quote(fields[0]), TimeFormsTried(options_.regional)));
            return;
        }
        log_.ms.push_back(*ms);
        for (int g = 0; g < kGaugeCount; ++g)
            log_.mbar[g].push_back(Reading(line, g, fields[1 + g]));
    }

private:
    void SetDate(const DateReading& reading) {
        log_.date = reading.date;
        log_.dateAmbiguous = reading.ambiguous;
        // A day without a change of clock has its records at fixed offsets from its midnight;
        // only the two days a year that have one need the time zone's rules for every record.
        dayStart_ = log_.date.startOfDay().toMSecsSinceEpoch();
        plainDay_ = log_.date.addDays(1).startOfDay().toMSecsSinceEpoch() - dayStart_ == kDayMsecs;
    }

    std::optional<qint64> TimeOf(QByteArrayView text) const {
        std::optional<int> msOfDay = ReadClockText(text);
        if (!msOfDay) {
            const auto time = ReadTimeText(QString::fromLocal8Bit(text), options_.regional);
            if (!time) return std::nullopt;
            msOfDay = time->msecsSinceStartOfDay();
        }
        if (plainDay_) return dayStart_ + *msOfDay;
        return QDateTime(log_.date, QTime::fromMSecsSinceStartOfDay(*msOfDay)).toMSecsSinceEpoch();
    }

    float Reading(int line, int gauge, QByteArrayView field) {
        if (field.isEmpty()) return kNoReading;  // gauge not reported OK yet
        const auto mbar = ReadPressureText(field);
        if (!mbar) {
            Problem(line, QStringLiteral("%1 value %2 is not a pressure text like "
                                         "\"5.000E-3\" or \"1.013E 3\"")
                              .arg(kGaugeNames[gauge], Quote(field)));
            return kNoReading;
        }
        if (!(*mbar >= kMinMbar && *mbar <= kMaxMbar)) {
            Problem(line, QStringLiteral("%1 value %2 is out of range (a gauge shows 1E-14 to 1E4 "
                                         "mbar), left out")
                              .arg(kGaugeNames[gauge], Quote(field)));
            return kNoReading;
        }
        return static_cast<float>(*mbar);
    }

    LogFile& log_;
    const ReadOptions& options_;
    qint64 dayStart_ = 0;
    bool plainDay_ = false;
};

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

Result<QByteArray> ReadHead(const QString& path, qint64 bytes) {
    if (Result<> readable = CheckReadable(path); !readable.ok()) return Fail(readable.error());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read: ") + file.errorString());
    QByteArray head = file.read(bytes);
    if (file.error() != QFileDevice::NoError)
        return Fail(QStringLiteral("cannot read: ") + file.errorString());
    return head;
}

}  // namespace

Result<> CheckReadable(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return Fail(errno == ENOENT ? QStringLiteral("no such file or folder")
                                    : QStringLiteral("cannot read: ") + ErrnoText());
    if (S_ISDIR(st.st_mode)) return Fail(QStringLiteral("a folder, not a log file"));
    if (S_ISFIFO(st.st_mode))
        return Fail(
            QStringLiteral("a FIFO (named pipe), not a log file; not read, as that would wait "
                           "for a writer"));
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return Fail(QStringLiteral("a device, not a log file"));
    if (!S_ISREG(st.st_mode)) return Fail(QStringLiteral("a socket, not a log file"));
    if (st.st_size > kMaxLogBytes)
        return Fail(QStringLiteral("%1 bytes, too large for a daily pressure log (at most %2)")
                        .arg(st.st_size)
                        .arg(kMaxLogBytes));
    return {};
}

LogFile ReadLog(const QByteArray& content, const QString& path, const ReadOptions& options) {
    LogFile log;
    log.path = path;
    Reader reader(log, options);
    QByteArrayView text(content);
    if (options.following) {
        // Whatever follows the last line end is still being written.
        text.truncate(text.lastIndexOf('\n') + 1);
        if (text.isEmpty()) return log;  // not yet
    }
    LineCursor lines(text);
    QByteArrayView title, dateLine;
    if (!lines.Next(&title) || (title.isEmpty() && text.size() <= 2)) {
        reader.Problem(0, QStringLiteral("empty file, not a pressure log"));
        return log;
    }
    const bool hasDateLine = lines.Next(&dateLine);
    if (!reader.Header(title, hasDateLine ? std::optional(dateLine) : std::nullopt)) return log;
    // A minute's record is some 45 bytes: one allocation a column for the whole day.
    const size_t expected = static_cast<size_t>(text.size() / 40);
    log.ms.reserve(expected);
    for (auto& column : log.mbar) column.reserve(expected);
    QByteArrayView line;
    while (lines.Next(&line)) {
        if (line.isEmpty()) continue;  // line 3 is empty by design
        reader.RecordLine(lines.Number(), line);
    }
    return log;
}

LogFile ReadLogFile(const QString& path, const ReadOptions& options) {
    const Result<QByteArray> content = ReadHead(path, kMaxLogBytes);
    if (!content.ok()) {
        LogFile log;
        log.path = path;
        log.problems << QStringLiteral("%1: %2").arg(path, content.error());
        return log;
    }
    return ReadLog(*content, path, options);
}

LogHeader ReadLogHeader(const QString& path, const ReadOptions& options) {
    // The title, the date line and a little more: enough for the header.
    Result<QByteArray> read = ReadHead(path, 512);
    if (!read.ok()) return {std::nullopt, false, QStringLiteral("%1: %2").arg(path, read.error())};
    QByteArray head = std::move(read).value();
    head.truncate(head.lastIndexOf('\n') + 1);
    ReadOptions headOnly = options;
    headOnly.following = false;
    const LogFile log = ReadLog(head, path, headOnly);
    if (!log.isLog || !log.date.isValid())
        return {std::nullopt, false, log.problems.value(0, path + QStringLiteral(": not a log"))};
    return {log.date, log.dateAmbiguous, {}};
}

}  // namespace vp::trend

#include "trend/regional_time.h"

#include <QRegularExpression>
#include <QStringList>

namespace vp::trend {

namespace {

const QStringList kDateForms = {
    QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy/MM/dd"), QStringLiteral("dd.MM.yyyy"),
    QStringLiteral("d.M.yyyy"),   QStringLiteral("dd.MM.yy"),   QStringLiteral("d.M.yy"),
};

// Qt reads "yy" as 19yy; no log of this panel predates 2000.
QDate FixCentury(QDate date, const QString& form) {
    if (date.isValid() && !form.contains(QStringLiteral("yyyy")) && date.year() < 2000)
        return date.addYears(100);
    return date;
}

std::optional<QDate> TryDate(const QString& text, const QLocale& regional) {
    for (const QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QString form = regional.dateFormat(type);
        const QDate date = FixCentury(regional.toDate(text, form), form);
        if (date.isValid()) return date;
    }
    for (const QString& form : kDateForms) {
        const QDate date = FixCentury(QDate::fromString(text, form), form);
        if (date.isValid()) return date;
    }
    return std::nullopt;
}

}  // namespace

std::optional<QDate> ReadDateText(const QString& text, const QLocale& regional) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 64) return std::nullopt;
    if (auto date = TryDate(trimmed, regional)) return date;
    QString slashed = trimmed;
    slashed.replace(u'-', u'/');
    if (slashed != trimmed) return TryDate(slashed, regional);
    return std::nullopt;
}

std::optional<QTime> ReadTimeText(const QString& text, const QLocale& regional) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 64) return std::nullopt;
    for (const QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
        const QTime time = regional.toTime(trimmed, type);
        if (time.isValid()) return time;
    }
    const QTime iso = QTime::fromString(trimmed, QStringLiteral("HH:mm:ss"));
    if (iso.isValid()) return iso;

    // What is left covers "2:03:27 PM UTC", "14:03:27 CET", "14.03.27" and the like.
    static const QRegularExpression loose(QStringLiteral(
        R"(^(\d{1,2})[:.](\d{2})(?:[:.](\d{2}))?(?:\s*([AaPp])\.?\s*[Mm]\.?)?(?:\s+\S.*)?$)"));
    const QRegularExpressionMatch m = loose.match(trimmed);
    if (!m.hasMatch()) return std::nullopt;
    int hour = m.captured(1).toInt();
    const int minute = m.captured(2).toInt();
    const int second = m.hasCaptured(3) ? m.captured(3).toInt() : 0;
    if (m.hasCaptured(4)) {
        if (hour < 1 || hour > 12) return std::nullopt;
        const bool pm = m.captured(4).compare(QStringLiteral("p"), Qt::CaseInsensitive) == 0;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    const QTime time(hour, minute, second);
    if (!time.isValid()) return std::nullopt;
    return time;
}

QString DateFormsTried(const QLocale& regional) {
    return QStringLiteral("regional %1, %2, ")
               .arg(regional.dateFormat(QLocale::ShortFormat),
                    regional.dateFormat(QLocale::LongFormat)) +
           kDateForms.join(QStringLiteral(", "));
}

QString TimeFormsTried(const QLocale& regional) {
    return QStringLiteral("regional %1, %2, HH:mm:ss, h:mm[:ss] [AM|PM] [zone]")
        .arg(regional.timeFormat(QLocale::LongFormat), regional.timeFormat(QLocale::ShortFormat));
}

}  // namespace vp::trend

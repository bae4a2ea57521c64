// SPDX-License-Identifier: MIT
#include "journal/reader_options.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include "base/program_name.h"

namespace vp::journal {

namespace {

const char kDescription[] =
    "Prints the plant journal that vacuum-panel writes (log/journal.sqlite): the entries of the\n"
    "error, warning and message lists, the operator's commands and refused set-points, the\n"
    "link's and the broker's events, the plant's quality, and each program's start and end.\n"
    "Records come in the order they were written, newest last; a start without an end is a\n"
    "program that did not end cleanly.\n"
    "\n"
    "FILE is a journal; FOLDER a log folder or the folder holding one (default: the current).\n"
    "T is yyyy-MM-dd, yyyy-MM-dd HH:mm[:ss], an ISO 8601 time (2026-12-08T04:22:00Z), HH:mm\n"
    "of today, today, yesterday or now; local time unless it names its zone. --to a day\n"
    "includes the whole day.\n"
    "KIND is errors, warnings, messages, operator, link, quality or program, several with\n"
    "commas. --grep finds TEXT in a record's text, control or raw bytes, case-insensitive.\n"
    "Text shows local time; csv and json show UTC.\n"
    "Exit codes: 0 records printed, 1 none found or the journal cannot be read, 2 bad command\n"
    "line.";

ReaderOptions Fail(const QString& why) {
    ReaderOptions o;
    o.exitCode = 2;
    o.message = ProgramSays(kJournalProgram, why) + u'\n';
    return o;
}

}  // namespace

std::optional<QDateTime> ReadMoment(const QString& text, const QDateTime& now, bool endOfDay) {
    const auto day = [&](QDate date) {
        return endOfDay ? QDateTime(date, QTime(23, 59, 59, 999)) : QDateTime(date, QTime(0, 0));
    };
    if (text == QLatin1String("now")) return now;
    if (text == QLatin1String("today")) return day(now.date());
    if (text == QLatin1String("yesterday")) return day(now.date().addDays(-1));
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid() && text.size() == 10) return day(date);
    for (const char* form : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime moment = QDateTime::fromString(text, QLatin1String(form));
        if (moment.isValid()) return moment;
    }
    for (const char* form : {"HH:mm:ss", "HH:mm"}) {
        const QTime time = QTime::fromString(text, QLatin1String(form));
        if (time.isValid()) return QDateTime(now.date(), time);
    }
    if (text.contains(u'T')) {
        const QDateTime moment = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (moment.isValid()) return moment;
    }
    return std::nullopt;
}

QString JournalFileOf(const QString& fileOrFolder) {
    const QFileInfo info(fileOrFolder);
    if (!info.isDir()) return fileOrFolder;
    const QDir folder(fileOrFolder);
    const QString here = folder.filePath(QStringLiteral("journal.sqlite"));
    if (QFileInfo::exists(here)) return here;
    return folder.filePath(QStringLiteral("log/journal.sqlite"));
}

ReaderOptions ParseReaderCommandLine(const QStringList& arguments, const QDateTime& now) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("First moment."),
                                  QStringLiteral("T"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Last moment."),
                                QStringLiteral("T"));
    const QCommandLineOption kind(QStringLiteral("kind"),
                                  QStringLiteral("Only these kinds of record."),
                                  QStringLiteral("KIND,..."));
    const QCommandLineOption grep(QStringLiteral("grep"),
                                  QStringLiteral("Only records that hold TEXT."),
                                  QStringLiteral("TEXT"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("text (aligned, the default), csv or json."),
                                    QStringLiteral("FORMAT"));
    parser.addOptions({from, to, kind, grep, format});
    parser.addPositionalArgument(QStringLiteral("FILE|FOLDER"),
                                 QStringLiteral("The journal, or the folder that holds it."),
                                 QStringLiteral("[FILE|FOLDER]"));
    if (!parser.parse(arguments)) return Fail(parser.errorText());
    if (parser.isSet(help) || parser.isSet(version)) {
        ReaderOptions o;
        o.exitCode = 0;
        o.message = parser.isSet(help) ? HelpNamed(parser.helpText(), kJournalProgram)
                                       : VersionLine(kJournalProgram);
        return o;
    }

    ReaderOptions options;
    const QStringList inputs = parser.positionalArguments();
    if (inputs.size() > 1)
        return Fail(QStringLiteral("one journal at a time, not ") + inputs.join(QLatin1Char(' ')));
    options.path = JournalFileOf(inputs.isEmpty() ? QStringLiteral(".") : inputs.constFirst());
    for (const auto& [option, end, last] : {std::tuple{&from, &options.query.fromMs, false},
                                            std::tuple{&to, &options.query.toMs, true}}) {
        if (!parser.isSet(*option)) continue;
        const auto moment = ReadMoment(parser.value(*option), now, last);
        if (!moment)
            return Fail(QStringLiteral("--%1 wants a time (yyyy-MM-dd, yyyy-MM-dd HH:mm, "
                                       "HH:mm, today, yesterday or now), not \"%2\"")
                            .arg(option->names().constFirst(), parser.value(*option)));
        *end = moment->toMSecsSinceEpoch();
    }
    if (options.query.fromMs && options.query.toMs && *options.query.fromMs > *options.query.toMs)
        return Fail(QStringLiteral("--from is after --to"));
    for (const QString& word : parser.values(kind).join(u',').split(u',', Qt::SkipEmptyParts)) {
        const auto k = KindFromWord(word.trimmed().toStdString());
        if (!k)
            return Fail(QStringLiteral("--kind knows errors, warnings, messages, operator, link, "
                                       "quality and program, not \"%1\"")
                            .arg(word));
        options.query.kinds.push_back(*k);
    }
    options.query.grep = parser.value(grep);
    if (parser.isSet(format)) {
        const QString f = parser.value(format);
        if (f == QLatin1String("text"))
            options.format = Format::Text;
        else if (f == QLatin1String("csv"))
            options.format = Format::Csv;
        else if (f == QLatin1String("json"))
            options.format = Format::Json;
        else
            return Fail(QStringLiteral("--format is text, csv or json, not \"%1\"").arg(f));
    }
    return options;
}

}  // namespace vp::journal

// SPDX-License-Identifier: MIT
#include "trend/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include "base/program_name.h"
#include "trend/regional_time.h"

namespace vp::trend {

namespace {

// Big enough for a poster, small enough that the picture fits in memory.
constexpr int kMinSide = 100;
constexpr int kMaxSide = 8000;

const char kDescription[] =
    "Plots the pressures of the panel's daily log files (TG1, 1G1, 2G1, 1G3) against time on a\n"
    "logarithmic axis.\n"
    "\n"
    "FILE is one daily log. FOLDER is a log folder (or a folder holding one named \"log\"): its\n"
    "*.dat files are taken by the date in their second line, or by their name when that line\n"
    "gives none. Without --from and --to a folder stands for its newest day only; with them, for\n"
    "every day from --from to --to, both included (either may be left out for an open end).\n"
    "The range also applies to named files. With no FILE or FOLDER, ./log is read.\n"
    "DATE is yyyy-MM-dd, the regional short date, \"today\" or \"yesterday\".\n"
    "A log's date is read in this PC's regional forms, then in the forms common elsewhere (a log\n"
    "may come from a PC set up otherwise); a date that reads either way, such as 6/12/26, is\n"
    "read this PC's way and said so once. --date-format names the form where that is wrong.\n"
    "\n"
    "Readings more than 3 minutes apart, a time set back, or an empty field break a line.\n"
    "Bad lines are reported on stderr as FILE:LINE: and skipped; the rest is still plotted.\n"
    "Pressures below 1E-14 or above 1E4 mbar are out of a gauge's range: reported, not plotted.\n"
    "The window needs a display; --png does not.\n"
    "Exit codes: 0 plotted, 1 nothing could be plotted (or the picture not written), 2 bad\n"
    "command line or no display for the window.";

Options Fail(const QString& why) {
    Options o;
    o.exitCode = 2;
    o.message = ProgramSays(kTrendProgram, why) + u'\n';
    return o;
}

std::optional<QDate> ReadDateArgument(const QString& text, QDate today, const QLocale& regional) {
    if (text == QStringLiteral("today")) return today;
    if (text == QStringLiteral("yesterday")) return today.addDays(-1);
    return ReadDateText(text, regional);
}

}  // namespace

Options ParseCommandLine(const QStringList& arguments, QDate today, const QLocale& regional) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption from(QStringLiteral("from"),
                                  QStringLiteral("First day to plot (file date)."),
                                  QStringLiteral("DATE"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Last day to plot."),
                                QStringLiteral("DATE"));
    const QCommandLineOption follow(
        QStringLiteral("follow"),
        QStringLiteral("Keep reading as the panel appends, and take up new days' files of a "
                       "folder. The window waits for a first reading if there is none yet."));
    const QCommandLineOption png(QStringLiteral("png"),
                                 QStringLiteral("Write the plot to FILE (a PNG picture: FILE.png "
                                                "or FILE without extension) without opening a "
                                                "window, and quit (--follow is then ignored)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption dateForm(
        QStringLiteral("date-format"),
        QStringLiteral("How the logs write their date, such as M/d/yy or dd.MM.yyyy (d day, M "
                       "month, y year); tried first."),
        QStringLiteral("FORM"));
    const QCommandLineOption size(QStringLiteral("size"),
                                  QStringLiteral("Picture or window size, default 1000x600."),
                                  QStringLiteral("WxH"));
    const QCommandLineOption noEvents(
        QStringLiteral("no-events"),
        QStringLiteral("Leave out the panel journal's events (errors, warnings, operator "
                       "actions, link loss) that are otherwise marked on the time axis."));
    parser.addOptions({from, to, follow, png, size, dateForm, noEvents});
    parser.addPositionalArgument(QStringLiteral("FILE|FOLDER"),
                                 QStringLiteral("Daily log files or log folders."),
                                 QStringLiteral("[FILE|FOLDER...]"));

    if (!parser.parse(arguments)) return Fail(parser.errorText());
    if (parser.isSet(help)) {
        Options o;
        o.exitCode = 0;
        o.message = HelpNamed(parser.helpText(), kTrendProgram);
        return o;
    }
    if (parser.isSet(version)) {
        Options o;
        o.exitCode = 0;
        o.message = VersionLine(kTrendProgram);
        return o;
    }

    Options options;
    options.inputs = parser.positionalArguments();
    if (options.inputs.isEmpty()) options.inputs << QStringLiteral("log");
    for (const auto& [option, end] :
         {std::pair{&from, &options.range.from}, std::pair{&to, &options.range.to}}) {
        if (!parser.isSet(*option)) continue;
        const QString text = parser.value(*option);
        *end = ReadDateArgument(text, today, regional);
        if (!*end)
            return Fail(QStringLiteral("--%1 wants a date (yyyy-MM-dd, %2, today or yesterday), "
                                       "not \"%3\"")
                            .arg(option->names().constFirst(),
                                 regional.dateFormat(QLocale::ShortFormat), text));
    }
    if (options.range.from && options.range.to && *options.range.from > *options.range.to)
        return Fail(QStringLiteral("--from %1 is after --to %2")
                        .arg(options.range.from->toString(Qt::ISODate),
                             options.range.to->toString(Qt::ISODate)));
    options.follow = parser.isSet(follow);
    options.events = !parser.isSet(noEvents);
    if (parser.isSet(png)) {
        options.png = parser.value(png);
        if (options.png.isEmpty()) return Fail(QStringLiteral("--png wants a file name"));
        // The picture is always PNG: a name that promises another format would mislead.
        const QString suffix = QFileInfo(options.png).suffix();
        if (!suffix.isEmpty() && suffix.compare(QStringLiteral("png"), Qt::CaseInsensitive) != 0)
            return Fail(QStringLiteral("--png writes PNG only: name the file FILE.png or FILE, "
                                       "not \"%1\"")
                            .arg(options.png));
    }
    if (parser.isSet(dateForm)) {
        options.dateForm = parser.value(dateForm);
        const QString& form = options.dateForm;
        if (!form.contains(u'd') || !form.contains(u'M') || !form.contains(u'y'))
            return Fail(QStringLiteral("--date-format wants a form with d (day), M (month) and y "
                                       "(year), such as M/d/yy, not \"%1\"")
                            .arg(form));
    }
    if (parser.isSet(size)) {
        static const QRegularExpression form(QStringLiteral(R"(^(\d{1,5})[xX](\d{1,5})$)"));
        const QRegularExpressionMatch m = form.match(parser.value(size));
        const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
        const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
        if (w < kMinSide || w > kMaxSide || h < kMinSide || h > kMaxSide)
            return Fail(QStringLiteral("--size wants WxH, each from %1 to %2, not \"%3\"")
                            .arg(kMinSide)
                            .arg(kMaxSide)
                            .arg(parser.value(size)));
        options.size = QSize(w, h);
    }
    return options;
}

}  // namespace vp::trend

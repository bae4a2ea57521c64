// SPDX-License-Identifier: MIT
// vacuum-trend-demo-log FOLDER [--date yyyy-MM-dd]: writes one day of the simulated plant into
// FOLDER/log through the panel's own log writer, a record a minute, the way the panel would have
// logged it had an operator run the plant that day. A file of that day already there is left
// alone: the writer appends, and a second day in one file is no day at all.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>

#include "base/program_name.h"
#include "journal/journal.h"
#include "logging/pressure_log.h"
#include "protocol/codes.h"
#include "protocol/status_report.h"
#include "sim/plant.h"
#include "sim/replies.h"

using vp::sim::Mode;
using vp::sim::Plant;
using vp::sim::Valve;

namespace {

class DemoClock final : public vp::logging::Clock {
public:
    QString ShortDateText() const override {
        return QLocale().toString(now.date(), QLocale::ShortFormat);
    }
    QString LongTimeText() const override {
        return QLocale().toString(now.time(), QLocale::LongFormat);
    }
    QDateTime now;
};

constexpr int At(int hour, int minute) {
    return hour * 60 + minute;
}

// The operator's day, by minute of the day.
std::multimap<int, std::function<void(Plant&)>> Day() {
    return {
        {At(7, 0),
         [](Plant& p) {
             p.SwitchRotary(true);
             p.SetValve(Valve::k3V1, true);
             p.RequestMode(Mode::kPrimaryVacuum);
         }},
        {At(7, 15),
         [](Plant& p) {
             p.SetValve(Valve::k1V1, true);
             p.SwitchTmp(0, true);
         }},
        {At(7, 22),
         [](Plant& p) {
             p.SetValve(Valve::k2V1, true);
             p.SwitchTmp(1, true);
             p.RequestMode(Mode::kHighVacuum);
         }},
        // Branch 2 serviced: its pump stopped for most of an hour.
        {At(10, 5), [](Plant& p) { p.SwitchTmp(1, false); }},
        {At(10, 50), [](Plant& p) { p.SwitchTmp(1, true); }},
        {At(14, 0), [](Plant& p) { p.RequestMode(Mode::kGlowDischarge); }},
        {At(15, 10), [](Plant& p) { p.RequestMode(Mode::kHighVacuum); }},
        {At(17, 30),
         [](Plant& p) {
             p.SwitchTmp(0, false);
             p.SwitchTmp(1, false);
             p.RequestMode(Mode::kStop);
         }},
        {At(17, 40),
         [](Plant& p) {
             p.SwitchRotary(false);
             p.SetValve(Valve::k1V1, false);
             p.SetValve(Valve::k2V1, false);
             p.SetValve(Valve::k3V1, false);
         }},
    };
}

// The same day as the panel's journal kept it: what the operator pressed for each step above,
// the controller's reports, the link's one stale spell and the panel's starts and ends.
struct JournalRow {
    int minute;
    vp::journal::Kind kind;
    std::optional<int> code;
    const char* control;
    const char* text;
};
using K = vp::journal::Kind;
const JournalRow kJournal[] = {
    {At(6, 50), K::Program, {}, "", "start vacuum-panel demo"},
    {At(6, 53), K::Link, {}, "", "link connected: Com3,115200,n,8,1"},
    {At(6, 53), K::Quality, {}, "", "good"},
    {At(7, 0), K::Operator, 109, "mnuRotaryOn", "rotary pump on"},
    {At(7, 0), K::Operator, 60, "mnu3V1Open", "3V1 open"},
    {At(7, 0), K::Operator, 122, "cmdPrimary", "mode Primary vacuum"},
    {At(7, 15), K::Operator, 62, "mnu1V1Open", "1V1 open"},
    {At(7, 15), K::Operator, 80, "mnuTmp1On", "TMP1 on"},
    {At(7, 22), K::Operator, 64, "mnu2V1Open", "2V1 open"},
    {At(7, 22), K::Operator, 82, "mnuTmp2On", "TMP2 on"},
    {At(7, 22), K::Operator, 121, "cmdHigh", "mode High vacuum"},
    {At(9, 40), K::Warning, 220, "", " 220 (OP_ERR_PNEUMATIC_PRESSURE)"},
    {At(10, 5), K::Operator, 83, "mnuTmp2Off", "TMP2 off"},
    {At(10, 20), K::Error, 170, "", "170 (no response from icpcon)"},
    {At(10, 50), K::Operator, 82, "mnuTmp2On", "TMP2 on"},
    {At(12, 31), K::Program, {}, "", "end"},
    {At(12, 58), K::Program, {}, "", "start vacuum-panel demo"},
    {At(12, 58), K::Quality, {}, "", "good"},
    {At(14, 0), K::Operator, 125, "cmdGlowDischarge", "mode Glow discharge"},
    {At(15, 10), K::Operator, 121, "cmdHigh", "mode High vacuum"},
    {At(16, 2), K::Link, {}, "", "link stale: no status report for 3 s"},
    {At(16, 2), K::Quality, {}, "", "stale"},
    {At(16, 9), K::Link, {}, "", "link live again"},
    {At(16, 9), K::Quality, {}, "", "good"},
    {At(17, 30), K::Operator, 81, "mnuTmp1Off", "TMP1 off"},
    {At(17, 30), K::Operator, 83, "mnuTmp2Off", "TMP2 off"},
    {At(17, 30), K::Operator, 124, "cmdStop", "mode Stop"},
    {At(17, 40), K::Operator, 110, "mnuRotaryOff", "rotary pump off"},
    {At(18, 5), K::Program, {}, "", "end"},
};

// Writes the day's journal beside the log, through the panel's own journal writer.
bool WriteJournal(const QString& folder, QDate date) {
    qint64 now = 0;
    vp::journal::Journal journal(
        {.path = QDir(folder).filePath(QStringLiteral("log/journal.sqlite")),
         .run = {vp::kTrendDemoProgram, "demo", "demo", 0},
         .now = [&now] { return now; }});
    bool troubled = false;
    QObject::connect(&journal, &vp::journal::Journal::Trouble, [&](const QString& line) {
        std::fprintf(stderr, "%s: %s\n", vp::kTrendDemoProgram, qPrintable(line));
        troubled = true;
    });
    journal.SetSource("Com3");
    int lastMinute = -1, second = 0;  // rows of one minute a second apart, in the table's order
    for (const JournalRow& row : kJournal) {
        second = row.minute == lastMinute ? second + 1 : 0;
        lastMinute = row.minute;
        now = QDateTime(date, QTime(0, 0).addSecs(row.minute * 60 + second)).toMSecsSinceEpoch();
        // The first and last rows are the journal's own start and end records.
        if (&row == &kJournal[0])
            journal.Start();
        else if (&row != &kJournal[std::size(kJournal) - 1])
            journal.Add(row.kind, row.code, row.text, row.control);
    }
    journal.End();
    QCoreApplication::processEvents();
    return !troubled;
}

constexpr int kPanelStarts = At(6, 50);
constexpr int kLinkConnected = At(6, 53);
constexpr int kPanelClosedFrom = At(12, 31);  // lunch: the panel was closed, the plant ran on
constexpr int kPanelReopened = At(12, 58);
constexpr int kPanelEnds = At(18, 5);

// Takes the pressure texts from a status report the way the panel does and logs them.
vp::Result<> Record(const Plant& plant, bool connected, const QDateTime& now, DemoClock& clock,
                    vp::logging::PressureLog& log, std::array<QByteArray, 4>& last) {
    if (connected) {
        QByteArray frame = vp::sim::Frame(vp::sim::StatusReportBody(plant));
        frame.chop(1);  // the CR ends the line, it is not part of the message
        const auto report = vp::protocol::ReadStatusReport(frame.toStdString());
        for (int g = 0; report && g < 4; ++g) {
            if (report->gauges[g].state == vp::protocol::ResultCode::Ok)
                last[g] = QByteArray::fromStdString(report->gauges[g].pressureText);
        }
    }
    clock.now = now;
    return log.Tick(last);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    vp::NameApplication(vp::kTrendDemoProgram);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a day of the simulated plant into FOLDER/log as the panel would. "
                       "Refuses to add to a log file of that day that is already there."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption dateOption(QStringLiteral("date"),
                                        QStringLiteral("Day to write, default 2026-03-17."),
                                        QStringLiteral("yyyy-MM-dd"));
    parser.addOption(dateOption);
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("Where \"log\" is."));
    const auto fail = [](int code, const QString& why) {
        std::fprintf(stderr, "%s: %s\n", vp::kTrendDemoProgram, qPrintable(why));
        return code;
    };
    if (!parser.parse(QCoreApplication::arguments())) return fail(2, parser.errorText());
    if (parser.isSet(help)) parser.showHelp();
    const QStringList folders = parser.positionalArguments();
    const QDate date =
        QDate::fromString(parser.value(dateOption).isEmpty() ? QStringLiteral("2026-03-17")
                                                             : parser.value(dateOption),
                          Qt::ISODate);
    if (folders.size() != 1 || !date.isValid())
        return fail(2, QStringLiteral("wants one FOLDER and --date yyyy-MM-dd"));
    if (!QDir(folders[0]).mkpath(QStringLiteral("log")))
        return fail(1, QStringLiteral("cannot make the log folder"));

    DemoClock clock;
    vp::logging::PressureLog log(clock, folders[0]);
    clock.now = date.startOfDay();
    if (QFileInfo::exists(log.FilePath()))
        return fail(1, QStringLiteral("%1 is already there; it is left as it is (remove it to "
                                      "write the day again)")
                           .arg(log.FilePath()));
    Plant plant;
    const auto day = Day();
    // The last pressure texts as the panel keeps them: empty until a gauge first reports OK.
    std::array<QByteArray, 4> last;
    for (int minute = 0; minute < 24 * 60; ++minute) {
        // The plant stands as it is at the full minute; what the operator does then shows in
        // the next record.
        const bool logging = minute >= kPanelStarts && minute < kPanelEnds &&
                             (minute < kPanelClosedFrom || minute >= kPanelReopened);
        if (logging) {
            const vp::Result<> recorded =
                Record(plant, minute >= kLinkConnected,
                       QDateTime(date, QTime(0, 0).addSecs(minute * 60)), clock, log, last);
            if (!recorded.ok()) {
                std::fprintf(stderr, "%s: %s\n", vp::kTrendDemoProgram, qPrintable(recorded.error()));
                return 1;
            }
        }
        const auto [first, end] = day.equal_range(minute);
        for (auto it = first; it != end; ++it) it->second(plant);
        plant.Advance(60);
    }
    if (!WriteJournal(folders[0], date)) return 1;
    std::printf("%s\n", qPrintable(log.FilePath()));
    return 0;
}

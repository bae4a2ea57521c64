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

#include "logging/pressure_log.h"
#include "sim/plant.h"
#include "sim/replies.h"
#include "protocol/status_report.h"

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

constexpr int kPanelStarts = At(6, 50);
constexpr int kLinkConnected = At(6, 53);
constexpr int kPanelClosedFrom = At(12, 31);  // lunch: the panel was closed, the plant ran on
constexpr int kPanelReopened = At(12, 58);
constexpr int kPanelEnds = At(18, 5);

// Takes the pressure texts from a status report the way the panel does and logs them.
bool Record(const Plant& plant, bool connected, const QDateTime& now, DemoClock& clock,
            vp::logging::PressureLog& log, std::array<QByteArray, 4>& last) {
    if (connected) {
        QByteArray frame = vp::sim::Frame(vp::sim::StatusReportBody(plant));
        frame.chop(1);  // the CR ends the line, it is not part of the message
        const auto report = vp::protocol::ReadStatusReport(frame.toStdString());
        for (int g = 0; report && g < 4; ++g) {
            if (report->gauges[g].state == 150)
                last[g] = QByteArray::fromStdString(report->gauges[g].pressureText);
        }
    }
    clock.now = now;
    if (const auto notice = log.Tick(last)) {
        std::fprintf(stderr, "vacuum-trend-demo-log: %s\n", qPrintable(*notice));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vacuum-trend-demo-log"));
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
        std::fprintf(stderr, "vacuum-trend-demo-log: %s\n", qPrintable(why));
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
            if (!Record(plant, minute >= kLinkConnected,
                        QDateTime(date, QTime(0, 0).addSecs(minute * 60)), clock, log, last))
                return 1;
        }
        const auto [first, end] = day.equal_range(minute);
        for (auto it = first; it != end; ++it) it->second(plant);
        plant.Advance(60);
    }
    std::printf("%s\n", qPrintable(log.FilePath()));
    return 0;
}

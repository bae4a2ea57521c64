#include <QApplication>
#include <QChartView>
#include <QPixmap>
#include <QSet>
#include <cstdio>
#include <memory>

#include "trend/command_line.h"
#include "trend/log_follower.h"
#include "trend/log_selection.h"
#include "trend/trend_chart.h"

using namespace vp::trend;

namespace {

void Print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString TitleOf(const TrendData& data) {
    QDate first;
    QDate last;
    for (const LogFile& file : data.files) {
        if (!file.date.isValid() || file.records.empty()) continue;
        if (!first.isValid() || file.date < first) first = file.date;
        if (!last.isValid() || file.date > last) last = file.date;
    }
    QString title = QStringLiteral("Merivax vacuum pressures");
    if (first.isValid()) title += QStringLiteral(", ") + first.toString(Qt::ISODate);
    if (last.isValid() && last != first)
        title += QStringLiteral(" to ") + last.toString(Qt::ISODate);
    return title;
}

// Reports each problem once, however often --follow reads the file again.
class ProblemPrinter {
public:
    void Print(const QStringList& problems) {
        for (const QString& problem : problems) {
            if (printed_.contains(problem)) continue;
            printed_.insert(problem);
            ::Print(stderr, problem + u'\n');
        }
    }

private:
    QSet<QString> printed_;
};

}  // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    Options options = ParseCommandLine(arguments);
    if (options.exitCode) {
        Print(*options.exitCode == 0 ? stdout : stderr, options.message);
        return *options.exitCode;
    }
    // A picture needs no screen: without one named, draw offscreen.
    if (!options.png.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    ReadOptions read;
    read.tailMayGrow = options.follow && options.png.isEmpty();
    ProblemPrinter problems;
    TrendData data = LoadTrend(options.inputs, options.range, read);
    problems.Print(data.problems);

    const bool following = read.tailMayGrow;
    if (PointCount(data.traces) == 0 && !(following && !data.watch.isEmpty())) {
        Print(stderr, QStringLiteral("vacuum-trend: nothing to plot\n"));
        return 1;
    }

    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    FillChart(*chart, data.traces, TitleOf(data));
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing);
    view.resize(options.size);

    if (!options.png.isEmpty()) {
        const QPixmap picture = view.grab();
        if (!picture.save(options.png, "PNG")) {
            Print(stderr, QStringLiteral("vacuum-trend: could not write %1\n").arg(options.png));
            return 1;
        }
        return 0;
    }

    view.setWindowTitle(QStringLiteral("Pressure trend"));
    std::unique_ptr<LogFollower> follower;
    if (following) {
        // A folder read without a range stands for its newest day; from then on the days that
        // follow it are wanted too, so the plot goes on past midnight.
        DateRange range = options.range;
        if (range.IsOpen()) {
            for (const LogFile& file : data.files) {
                if (file.date.isValid() && (!range.from || file.date < *range.from))
                    range.from = file.date;
            }
            if (!range.from) range.from = QDate::currentDate();
        }
        follower = std::make_unique<LogFollower>();
        follower->Watch(data.watch);
        QObject::connect(follower.get(), &LogFollower::changed, &view, [&, range] {
            const TrendData now = LoadTrend(options.inputs, range, read);
            problems.Print(now.problems);
            FillChart(*chart, now.traces, TitleOf(now));
            follower->Watch(now.watch);
        });
    }
    view.show();
    return app.exec();
}

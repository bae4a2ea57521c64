// SPDX-License-Identifier: MIT
#include <unistd.h>

#include <QApplication>
#include <QChartView>
#include <QImageWriter>
#include <QSaveFile>
#include <QSet>
#include <QtConcurrent>
#include <cstdio>
#include <limits>

#include "base/program_name.h"
#include "trend/command_line.h"
#include "trend/journal_events.h"
#include "trend/trend_chart.h"
#include "trend/trend_window.h"

using namespace vp::trend;

namespace {

// More files than a month's: the reading takes long enough to show how far it got.
constexpr int kProgressFiles = 31;

void Print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
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

// Whether the window can open here, checked before Qt would abort on it, and why not.
vp::Result<> DisplayFound() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM").section(u':', 0, 0);
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if ((platform.isEmpty() && !x11 && !wayland) || (platform == QStringLiteral("xcb") && !x11) ||
        (platform.startsWith(QStringLiteral("wayland")) && !wayland))
        return vp::Fail(vp::ProgramSays(
            vp::kTrendProgram,
            QStringLiteral("the window needs a display, and none is set "
                           "(DISPLAY%1); --png FILE draws the plot without one\n")
                .arg(platform.startsWith(QStringLiteral("wayland"))
                         ? QStringLiteral(" or WAYLAND_DISPLAY")
                         : QString())));
    return {};
}

// One line on standard error for a long reading, brought up to date in place on a terminal.
bool ShowProgress(int done, int total) {
    if (total <= kProgressFiles) return true;
    const bool terminal = ::isatty(STDERR_FILENO);
    if (done == 1 || terminal)
        Print(stderr, (terminal ? QStringLiteral("\r") : QString()) +
                          vp::ProgramSays(
                              vp::kTrendProgram,
                              QStringLiteral("reading %1 log files%2")
                                  .arg(total)
                                  .arg(terminal ? QStringLiteral(": %1%").arg(100 * done / total)
                                                : QStringLiteral("...\n"))));
    if (terminal && done == total) Print(stderr, QStringLiteral("\n"));
    return true;
}

int WritePng(const Options& options) {
    ReadOptions read;
    read.dateForm = options.dateForm;
    ProblemPrinter problems;
    // With a first day given, the journal is read beside the logs rather than after them: a
    // year of each takes about as long.
    QFuture<EventMarks> early;
    if (options.events && options.range.from)
        early = QtConcurrent::run([&options] {
            return LoadEvents(
                options.inputs, options.range.from->startOfDay().toMSecsSinceEpoch(),
                options.range.to ? options.range.to->addDays(1).startOfDay().toMSecsSinceEpoch() - 1
                                 : std::numeric_limits<qint64>::max());
        });
    const TrendData data =
        LoadTrend(options.inputs, options.range, read, options.size.width(), ShowProgress);
    problems.Print(data.problems);
    if (PointCount(data.traces) == 0) {
        Print(stderr, vp::ProgramSays(vp::kTrendProgram, QStringLiteral("nothing to plot\n")));
        return 1;
    }
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    FillChart(*chart, data.traces, TitleOf(data));
    if (options.events) {
        const EventMarks events =
            early.isValid()
                ? early.result()
                : LoadEvents(options.inputs, data.firstDay.startOfDay().toMSecsSinceEpoch(),
                             data.lastDay.addDays(1).startOfDay().toMSecsSinceEpoch() - 1);
        problems.Print(events.problems);
        ShowEvents(*chart, events);
    }
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing);
    view.resize(options.size);
    // Written aside and renamed into place: a failure leaves no half picture, and says why.
    QSaveFile file(options.png);
    QImageWriter writer(&file, "png");
    if (!file.open(QIODevice::WriteOnly) || !writer.write(view.grab().toImage()) ||
        !file.commit()) {
        const QString why =
            file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        Print(stderr,
              vp::ProgramSays(vp::kTrendProgram,
                              QStringLiteral("could not write %1: %2\n").arg(options.png, why)));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const Options options = ParseCommandLine(arguments);
    if (options.exitCode) {
        Print(*options.exitCode == 0 ? stdout : stderr, options.message);
        return *options.exitCode;
    }
    if (!options.png.isEmpty()) {
        // A picture needs no screen: without one named, draw offscreen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return WritePng(options);
    }
    if (const vp::Result<> display = DisplayFound(); !display.ok()) {
        Print(stderr, display.error());
        return 2;
    }
    QApplication app(argc, argv);
    TrendWindow window(options);
    ProblemPrinter problems;
    QObject::connect(&window, &TrendWindow::problems, &window,
                     [&](const QStringList& list) { problems.Print(list); });
    QObject::connect(&window, &TrendWindow::loaded, &window, [&](qint64 points) {
        // Followed logs may yet come; anything else with nothing in it is the end.
        if (points == 0 && !(window.follower() && window.follower()->IsWatching())) {
            Print(stderr, vp::ProgramSays(vp::kTrendProgram, QStringLiteral("nothing to plot\n")));
            QCoreApplication::exit(1);
        }
    });
    window.show();
    window.Load();
    return app.exec();
}

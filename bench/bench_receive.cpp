// SPDX-License-Identifier: MIT
// The receive path, measured in process: first the protocol layer alone (cutting at CR, the
// checksum test, the dispatch decision, reading the report's fields), then the same reports
// through the wired panel into its state, and into the state with the window shown (offscreen)
// and its view rendering at screen pace: Link::ReceiveText -> HandleMessage -> DecodeStatus ->
// state, and every 33 ms or more the view -> controls -> paint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <optional>
#include <string>
#include <vector>

#include "app/panel.h"
#include "app/panel_window.h"
#include "panel/form1.h"
#include "protocol/frame.h"
#include "protocol/message_kind.h"
#include "protocol/rx_buffer.h"
#include "protocol/status_report.h"
#include "report_maker.h"

namespace {

constexpr std::uint32_t kDistinct = 1024;  // distinct reports, cycled through

// One arrival per report, as the port tends to deliver them at line rate.
std::vector<std::string> Reports(bool changing) {
    std::vector<std::string> lines;
    for (std::uint32_t n = 0; n < kDistinct; ++n)
        lines.push_back(vp::bench::StatusReportLine(n, changing));
    return lines;
}

void ProtocolWithoutWindow(benchmark::State& state) {
    const auto lines = Reports(true);
    vp::protocol::RxBuffer buffer;
    std::size_t i = 0;
    std::int64_t fields = 0;
    for (auto _ : state) {
        buffer.Append(lines[i++ % kDistinct], [&](std::string_view message) {
            if (vp::protocol::ChecksumMismatch(message)) return;
            const auto c = vp::protocol::Classify(message);
            if (c.action != vp::protocol::Classification::Action::ByKind || c.kind != 111) return;
            const auto report = vp::protocol::ReadStatusReport(message);
            if (report) fields += report->rotary;
        });
    }
    benchmark::DoNotOptimize(fields);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("status reports");
}
BENCHMARK(ProtocolWithoutWindow);

void SplitOnly(benchmark::State& state) {
    const auto lines = Reports(true);
    vp::protocol::RxBuffer buffer;
    std::size_t i = 0, n = 0;
    for (auto _ : state) n += buffer.Append(lines[i++ % kDistinct], [](std::string_view) {});
    benchmark::DoNotOptimize(n);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SplitOnly);

void ChecksumOnly(benchmark::State& state) {
    const auto lines = Reports(true);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& line = lines[i++ % kDistinct];
        benchmark::DoNotOptimize(
            vp::protocol::ChecksumMismatch(std::string_view(line).substr(0, line.size() - 1)));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ChecksumOnly);

void ClassifyOnly(benchmark::State& state) {
    const auto lines = Reports(true);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& line = lines[i++ % kDistinct];
        benchmark::DoNotOptimize(
            vp::protocol::Classify(std::string_view(line).substr(0, line.size() - 1)));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ClassifyOnly);

void ReadStatusReportOnly(benchmark::State& state) {
    const auto lines = Reports(true);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& line = lines[i++ % kDistinct];
        benchmark::DoNotOptimize(
            vp::protocol::ReadStatusReport(std::string_view(line).substr(0, line.size() - 1)));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ReadStatusReportOnly);

// Reports between two turns of the event loop: about what one receive event carries at full
// line rate (16 ms of 921,600 bit/s is 18 reports).
constexpr std::size_t kPerTurn = 16;

// Runs the event loop until `done` or `ms` pass.
template <typename Done>
bool RunUntil(int ms, Done done) {
    QElapsedTimer wall;
    wall.start();
    while (!done() && wall.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// Into the panel's state through the link, as the port hands arrivals on, one report each. With
// a window, it is shown and the event loop turns every kPerTurn reports inside the timing, so the
// view renders and the window paints at their own pace and are paid for as in the program.
void IntoTheState(benchmark::State& state, bool window, bool changing) {
    const auto lines = Reports(changing);
    vp::app::Panel panel({.ports = {}});
    std::optional<vp::app::PanelWindow> attached;
    if (window) attached.emplace(panel);
    vp::panel::Form1* form = attached ? &attached->form() : nullptr;
    if (form) form->show();
    QCoreApplication::processEvents();
    vp::link::Link& link = panel.link();
    const std::int32_t shownBefore = panel.state().ShownReports();
    const std::uint64_t rendersBefore = form ? form->view().Renders() : 0;
    QElapsedTimer wall;
    wall.start();
    std::size_t i = 0;
    for (auto _ : state) {
        link.ReceiveText(lines[i++ % kDistinct]);
        if (window && i % kPerTurn == 0) QCoreApplication::processEvents();
    }
    const double seconds = wall.nsecsElapsed() / 1e9;
    const std::uint64_t renders = form ? form->view().Renders() - rendersBefore : 0;
    const std::int64_t reports = std::min<std::int64_t>(state.iterations(), INT32_MAX);
    if (panel.state().CrcErrors() != 0 || panel.state().ShownReports() - shownBefore != reports)
        state.SkipWithError("a report did not reach the state");
    if (form) {
        // Once the line is quiet the newest report shows.
        const std::string& last = lines[(i + kDistinct - 1) % kDistinct];
        const auto report =
            vp::protocol::ReadStatusReport(std::string_view(last).substr(0, last.size() - 1));
        const QString uptime = QString::fromLatin1(report->uptimeText.c_str());
        if (!RunUntil(1000, [&] { return form->txtUptime->text() == uptime; }))
            state.SkipWithError("the last report did not show");
        if (state.iterations() > 100000 && renders == 0)
            state.SkipWithError("the view never rendered");
        // Per second of the clock: the view's pace is wall time, not processor time.
        state.counters["renders/s"] = static_cast<double>(renders) / seconds;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("status reports");
}
BENCHMARK_CAPTURE(IntoTheState, no_window, false, true);
BENCHMARK_CAPTURE(IntoTheState, window_changing, true, true);
BENCHMARK_CAPTURE(IntoTheState, window_unchanged, true, false);

// One render of a full list with `arrived` new entries on top (one: an operator's usual report;
// ten: a list renewed whole between two frames), with the window shown and painted.
void RenderAList(benchmark::State& state) {
    const auto arrived = static_cast<std::uint32_t>(state.range(0));
    vp::app::Panel panel({.ports = {}});
    vp::app::PanelWindow window(panel);
    vp::panel::Form1* form = &window.form();
    form->show();
    vp::state::PanelState& plant = panel.state();
    std::uint32_t n = 0;
    const auto arrive = [&] {
        for (std::uint32_t k = 0; k < arrived; ++k)
            plant.InsertTop(vp::state::List::lstMessages,
                            "039_" + vp::bench::Digits(n++ % kDistinct, 6) + "123");
    };
    for (int k = 0; k < 10; ++k) arrive();
    form->view().Render();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        arrive();
        form->view().Render();
        QCoreApplication::processEvents();
    }
    if (form->lstMessages->count() != 10) state.SkipWithError("the list does not hold ten");
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("renders");
}
BENCHMARK(RenderAList)->Arg(1)->Arg(10);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The receive path, measured in process: first the protocol layer alone (cutting at CR, the
// checksum test, the dispatch decision, reading the report's fields), then the same reports
// through the real window, offscreen: ReceiveText -> HandleMessage -> DecodeStatus -> controls.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>
#include <vector>

#include "link/frame.h"
#include "link/rx_buffer.h"
#include "messages/message_kind.h"
#include "panel/form1.h"
#include "report_maker.h"
#include "status/status_report.h"

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
    vp::link::RxBuffer buffer;
    std::size_t i = 0;
    std::int64_t fields = 0;
    for (auto _ : state) {
        buffer.Append(lines[i++ % kDistinct], [&](std::string_view message) {
            if (vp::link::ChecksumMismatch(message)) return;
            const auto c = vp::messages::Classify(message);
            if (c.action != vp::messages::Classification::Action::ByKind || c.kind != 111) return;
            const auto report = vp::status::ReadStatusReport(message);
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
    vp::link::RxBuffer buffer;
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
            vp::link::ChecksumMismatch(std::string_view(line).substr(0, line.size() - 1)));
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
            vp::messages::Classify(std::string_view(line).substr(0, line.size() - 1)));
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
            vp::status::ReadStatusReport(std::string_view(line).substr(0, line.size() - 1)));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ReadStatusReportOnly);

// The window is shown, as on the operator's screen; what the controls repaint is left to the
// event loop, which the end-to-end runs measure.
void IntoTheWindow(benchmark::State& state, bool changing) {
    std::vector<QByteArray> lines;
    for (const std::string& line : Reports(changing))
        lines.push_back(QByteArray::fromStdString(line));
    vp::panel::Form1 form;
    form.show();
    QCoreApplication::processEvents();
    std::size_t i = 0;
    for (auto _ : state) {
        form.framing().ReceiveText(lines[i++ % kDistinct]);
        // Paint now and then, so pending updates do not pile up unlike the real thing.
        if (i % 256 == 0) {
            state.PauseTiming();
            QCoreApplication::processEvents();
            state.ResumeTiming();
        }
    }
    if (form.dispatcher().CrcErrorCount().value() != 0 ||
        form.display().ShownReports().value() !=
            static_cast<std::int32_t>(std::min<std::int64_t>(state.iterations(), INT32_MAX)))
        state.SkipWithError("a report was not shown");
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("status reports");
}
BENCHMARK_CAPTURE(IntoTheWindow, changing, true);
BENCHMARK_CAPTURE(IntoTheWindow, unchanged, false);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// SPDX-License-Identifier: MIT
// vacuum-panel-window, the program that vacuum-panel hands every run with a window to, and every
// run on the simulated controller: headless too, with the headless program's semantics.
#include <QApplication>
#include <QImageWriter>
#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "app/panel_window.h"
#include "app/quit_signals.h"
#include "app/remote_view.h"
#include "app/run_panel.h"
#include "app/window_system.h"
#include "base/program_name.h"
#include "link/port_defaults.h"
#include "panel/form1.h"
#include "sim/simulated_controller.h"

namespace {

using vp::app::Options;

// Saves the window as it stands when the program ends.
void ScreenshotOnQuit(const Options& options, QWidget& window, int& status) {
    if (options.screenshot.isEmpty()) return;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&window, &status, options] {
        QImageWriter writer(options.screenshot, "png");
        if (!writer.write(window.grab().toImage())) {
            std::fprintf(stderr, "%s: cannot write %s: %s\n", vp::kPanelProgram,
                         qPrintable(options.screenshot), qPrintable(writer.errorString()));
            status = 1;
        }
    });
}

// The panel on its ports, or on the simulated controller at port 3 where Connect reaches it.
int RunOnPlant(const Options& options, const vp::app::RunWindow& window = {}) {
    vp::link::PortNames ports = options.ports;
    std::unique_ptr<vp::sim::SimulatedController> simulator;
    if (options.simulate) {
        simulator = std::make_unique<vp::sim::SimulatedController>();
        if (const vp::Result<> started = simulator->Start(); !started.ok())
            return vp::app::Refuse("cannot start the simulated controller", started.error());
        ports.insert(vp::link::kStartPort, simulator->DevicePath());
    }
    return vp::app::RunPanel(options, ports, window);
}

int RunWithWindow(const Options& options) {
    int status = 0;
    vp::app::RunWindow window;
    window.attach = [](vp::app::Panel& panel) -> std::unique_ptr<QObject> {
        return std::make_unique<vp::app::PanelWindow>(panel);
    };
    window.show = [&options, &status](QObject& attached) {
        vp::panel::Form1& form = static_cast<vp::app::PanelWindow&>(attached).form();
        form.show();
        ScreenshotOnQuit(options, form, status);
    };
    const int code = RunOnPlant(options, window);
    return code != 0 ? code : status;
}

int RunView(const Options& options) {
    vp::app::RemoteView view(*options.view, options);
    if (const vp::Result<> started = view.Start(); !started.ok())
        return vp::app::Refuse("cannot reach the broker", started.error());
    view.window().show();
    int status = 0;
    ScreenshotOnQuit(options, view.window(), status);
    vp::app::QuitAfter(options);
    const int code = QCoreApplication::exec();
    view.Stop();
    return code != 0 ? code : status;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Read before the application object, which needs a display: --help, --version and a bad
    // option are answered without one.
    const Options options = vp::app::ParseCommandLine(vp::app::ArgumentList(argc, argv));
    if (const auto code = vp::app::AnswerWithoutPanel(argc, argv, options)) return *code;
    if (options.headless) {
        QCoreApplication app(argc, argv);
        vp::app::PrepareHeadless();
        return RunOnPlant(options);
    }
    if (const vp::Result<> display = vp::app::DisplayFound(options, vp::app::ArgumentList(argc, argv));
        !display.ok()) {
        std::fputs(qPrintable(display.error()), stderr);
        return 2;
    }
    vp::app::PrepareWindowSystem();
    QApplication app(argc, argv);
    vp::NameApplication(vp::kPanelProgram);
    vp::app::QuitOnTermination();
    return options.view ? RunView(options) : RunWithWindow(options);
}

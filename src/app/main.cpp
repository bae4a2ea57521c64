// One source, two programs. vacuum-panel is built without the window (VP_NO_WINDOW): it runs
// --headless itself, needing neither a display nor the window system's libraries, and hands
// every other command line to vacuum-panel-window, the same program with the window.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "app/headless.h"
#include "app/panel.h"
#include "app/publishing.h"
#include "app/quit_signals.h"
#include "sim/simulated_controller.h"
#ifdef VP_NO_WINDOW
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#else
#include <QApplication>
#include <QImageWriter>

#include "app/remote_view.h"
#include "app/window_system.h"
#include "panel/form1.h"
#endif

namespace {

using vp::app::Options;

int Refuse(const char* what, const QString& why) {
    std::fprintf(stderr, "vacuum-panel: %s: %s\n", what, qPrintable(why));
    return 1;
}

void QuitAfter(const Options& options) {
    if (options.quitAfterSeconds)
        QTimer::singleShot(static_cast<int>(*options.quitAfterSeconds * 1000),
                           QCoreApplication::instance(), &QCoreApplication::quit);
}

#ifdef VP_NO_WINDOW
// The window's program stands beside this one in a build, and in lib/vacuum-panel when installed.
int RunWindowProgram(char* argv[]) {
    std::error_code error;
    const auto here = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    for (const auto& path :
         {here / "vacuum-panel-window", here / "../lib/vacuum-panel/vacuum-panel-window"}) {
        if (::access(path.c_str(), X_OK) == 0) {
            ::execv(path.c_str(), argv);
            std::fprintf(stderr, "vacuum-panel: cannot start %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::fprintf(stderr, "vacuum-panel: the window's program is missing beside %s\n", here.c_str());
    return 1;
}
#else
// Saves the window as it stands when the program ends.
void ScreenshotOnQuit(const Options& options, QWidget& window, int& status) {
    if (options.screenshot.isEmpty()) return;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&window, &status, options] {
        QImageWriter writer(options.screenshot, "png");
        if (!writer.write(window.grab().toImage())) {
            std::fprintf(stderr, "vacuum-panel: cannot write %s: %s\n",
                         qPrintable(options.screenshot), qPrintable(writer.errorString()));
            status = 1;
        }
    });
}
#endif

// The panel on a serial line, with a window or without, publishing if asked.
int RunPanel(const Options& options) {
    vp::link::PortNames ports = options.ports;
    std::unique_ptr<vp::sim::SimulatedController> simulator;
    if (options.simulate) {
        simulator = std::make_unique<vp::sim::SimulatedController>();
        QString error;
        if (!simulator->Start(&error))
            return Refuse("cannot start the simulated controller", error);
        // Port 3 is where the panel starts, so Connect reaches the simulated plant at once.
        ports.insert(3, simulator->DevicePath());
    }

    vp::app::Panel panel({.ports = ports, .window = !options.headless});
    if (!options.record.isEmpty()) {
        if (const auto notice = panel.Record(options.record)) {
            // The panel works as well without a record: say so once and go on.
            std::fprintf(stderr, "vacuum-panel: %s\n", qPrintable(*notice));
            panel.linkDisplay().ShowStatusText(*notice);
        }
    }
    std::unique_ptr<vp::app::Publishing> publishing;
    if (options.publish) {
        publishing = std::make_unique<vp::app::Publishing>(panel, *options.publish, options);
        if (const auto why = publishing->Start()) return Refuse("cannot publish", *why);
    }
    std::unique_ptr<vp::app::Headless> headless;
    int status = 0;
    if (options.headless) {
        headless = std::make_unique<vp::app::Headless>(panel);
        // Port 3, where the window starts, unless only other ports are mapped.
        headless->Start(ports.isEmpty() || ports.contains(3) ? 3 : ports.firstKey());
    } else {
#ifndef VP_NO_WINDOW
        panel.window()->show();
        ScreenshotOnQuit(options, *panel.window(), status);
#endif
    }
    QuitAfter(options);
    const int code = QCoreApplication::exec();
    if (publishing) publishing->Stop();
    return code != 0 ? code : status;
}

#ifndef VP_NO_WINDOW
int RunView(const Options& options) {
    vp::app::RemoteView view(*options.view, options);
    if (const auto why = view.Start()) return Refuse("cannot reach the broker", *why);
    view.window().show();
    int status = 0;
    ScreenshotOnQuit(options, view.window(), status);
    QuitAfter(options);
    const int code = QCoreApplication::exec();
    view.Stop();
    return code != 0 ? code : status;
}
#endif

void Name(QCoreApplication& app) {
    app.setApplicationName(QStringLiteral("vacuum-panel"));
    app.setApplicationVersion(QStringLiteral(VP_VERSION));
}

}  // namespace

int main(int argc, char* argv[]) {
    // Read before the application object, which needs a display: --help, --version and a bad
    // option are answered without one.
    const Options options = vp::app::ParseCommandLine(vp::app::ArgumentList(argc, argv));
    if (options.exitCode) {
        std::fputs(qPrintable(options.message), options.exitCode == 0 ? stdout : stderr);
        return *options.exitCode;
    }
    if (options.discoveryRemove) {
        QCoreApplication app(argc, argv);
        return vp::app::RemoveDiscovery(*options.publish, options);
    }
    if (options.headless) {
        // No window system at all: a rack PC has no display.
        QCoreApplication app(argc, argv);
        Name(app);
        vp::app::QuitOnTermination();
        return RunPanel(options);
    }
#ifdef VP_NO_WINDOW
    return RunWindowProgram(argv);
#else
    vp::app::PrepareWindowSystem();
    QApplication app(argc, argv);
    Name(app);
    vp::app::QuitOnTermination();
    return options.view ? RunView(options) : RunPanel(options);
#endif
}

// One source, two programs. vacuum-panel is built without the window (VP_NO_WINDOW): it runs
// --headless itself, needing neither a display nor the window system's libraries, and hands
// every other command line to vacuum-panel-window, the same program with the window.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/headless.h"
#include "app/journaling.h"
#include "app/log_line.h"
#include "app/panel.h"
#include "app/publishing.h"
#include "app/quit_signals.h"
#include "app/service_notify.h"
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

int Refuse(const char* what, const QString& why, int code = 1) {
    vp::app::LogLine(vp::app::Severity::Error, QLatin1String(what) + ": " + why);
    return code;
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
        if (const vp::Result<> started = simulator->Start(); !started.ok())
            return Refuse("cannot start the simulated controller", started.error());
        // Port 3 is where the panel starts, so Connect reaches the simulated plant at once.
        ports.insert(3, simulator->DevicePath());
    }

    vp::app::Panel panel(
        {.ports = ports, .window = !options.headless, .logFolder = options.logFolder});
    if (!options.record.isEmpty()) {
        if (const vp::Result<> recording = panel.Record(options.record); !recording.ok()) {
            // The panel works as well without a record: say so once and go on.
            vp::app::LogLine(vp::app::Severity::Error, recording.error());
            panel.linkDisplay().ShowStatusText(recording.error());
        }
    }
    // Beside the daily logs, so a gateway service's journal lands in its state folder.
    vp::app::Journaling journaling(
        panel, {.path = options.logFolder.isEmpty()
                            ? QString()
                            : options.logFolder + QStringLiteral("/journal.sqlite")});
    // The service manager hears of the broker from its first state on.
    std::unique_ptr<vp::app::ServiceNotify> service;
    if (options.headless) service = std::make_unique<vp::app::ServiceNotify>();
    std::unique_ptr<vp::app::Publishing> publishing;
    if (options.publish) {
        publishing = std::make_unique<vp::app::Publishing>(panel, *options.publish, options);
        journaling.SetPrefix(options.publish->prefix);
        journaling.WatchBroker(publishing->client());
        if (service)
            QObject::connect(&publishing->client(), &vp::publish::MqttClient::BrokerStateChanged,
                             service.get(), [&service](auto state, const QString& detail) {
                                 service->SetBroker(vp::app::BrokerStateText(state, detail));
                             });
        // Files that cannot be used are the configuration's fault, which a restart cannot mend.
        if (const vp::Result<> started = publishing->Start(); !started.ok())
            return Refuse("cannot publish", started.error(), 2);
    }
    // Port 3, where the window starts, unless only other ports are mapped; chosen before the
    // journal starts, so that its first record names it.
    const int headlessPort = ports.isEmpty() || ports.contains(3) ? 3 : ports.firstKey();
    if (options.headless)
        panel.link().MSComm1().SetCommPort(static_cast<std::int16_t>(headlessPort));
    journaling.Start();
    std::unique_ptr<vp::app::Headless> headless;
    int status = 0;
    if (options.headless) {
        headless = std::make_unique<vp::app::Headless>(panel);
        QObject::connect(headless.get(), &vp::app::Headless::LinkSaid, service.get(),
                         &vp::app::ServiceNotify::SetLink);
        headless->Start(headlessPort);
        // The port has had its first try and the broker's client runs: the service is up.
        service->Ready();
    } else {
#ifndef VP_NO_WINDOW
        panel.window()->show();
        ScreenshotOnQuit(options, *panel.window(), status);
#endif
    }
    QuitAfter(options);
    const int code = QCoreApplication::exec();
    if (service) service->Stopping();
    if (publishing) publishing->Stop();
    journaling.End();
    return code != 0 ? code : status;
}

#ifndef VP_NO_WINDOW
int RunView(const Options& options) {
    vp::app::RemoteView view(*options.view, options);
    if (const vp::Result<> started = view.Start(); !started.ok())
        return Refuse("cannot reach the broker", started.error());
    view.window().show();
    int status = 0;
    ScreenshotOnQuit(options, view.window(), status);
    QuitAfter(options);
    const int code = QCoreApplication::exec();
    view.Stop();
    return code != 0 ? code : status;
}
#endif

#ifndef VP_NO_WINDOW
// A Qt option's value as the command line gives it, after -name or --name.
QString QtOption(const QStringList& arguments, const QString& name) {
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i)
        if (arguments[i] == u'-' + name || arguments[i] == "--" + name) return arguments[i + 1];
    return {};
}

// Whether the window can open here, checked before Qt would abort on it, and why not.
// Qt tries the platforms of a list in turn, so one that needs no display is enough.
vp::Result<> DisplayFound(const Options& options, const QStringList& arguments) {
    QString platforms = QtOption(arguments, QStringLiteral("platform"));
    if (platforms.isEmpty()) platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY") ||
                     !QtOption(arguments, QStringLiteral("display")).isEmpty();
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    bool shown = platforms.isEmpty() && (x11 || wayland);
    for (const QString& entry : platforms.split(u';', Qt::SkipEmptyParts)) {
        const QString platform = entry.section(u':', 0, 0);
        if (platform == QStringLiteral("xcb"))
            shown = shown || x11;
        else if (platform.startsWith(QStringLiteral("wayland")))
            shown = shown || wayland;
        else
            shown = true;  // offscreen, vnc, eglfs, linuxfb: no display server to find
    }
    if (shown) return {};
    // The way out, where there is one: a view is nothing but its window.
    QString hint;
    if (!options.screenshot.isEmpty())
        hint = QStringLiteral("; -platform offscreen takes the --screenshot without one");
    else if (!options.view)
        hint = QStringLiteral("; --headless runs the panel without one");
    return vp::Fail(QStringLiteral("vacuum-panel: %1 needs a display, and none is set (%2)%3\n")
                        .arg(options.view ? QStringLiteral("the view is a window: it")
                                          : QStringLiteral("the window"),
                             platforms.contains(QStringLiteral("wayland"))
                                 ? QStringLiteral("WAYLAND_DISPLAY")
                                 : QStringLiteral("DISPLAY"),
                             hint));
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
        if (*options.exitCode == 0) {
            std::fputs(qPrintable(options.message), stdout);
        } else {  // a service's bad configuration, read in the journal
            QString line = options.message.trimmed();
            if (line.startsWith(QLatin1String("vacuum-panel: "))) line.remove(0, 14);
            vp::app::LogLine(vp::app::Severity::Error, line);
        }
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
        vp::app::LogQtMessages();
        vp::app::QuitOnTermination();
        return RunPanel(options);
    }
#ifdef VP_NO_WINDOW
    return RunWindowProgram(argv);
#else
    if (const vp::Result<> display = DisplayFound(options, vp::app::ArgumentList(argc, argv));
        !display.ok()) {
        std::fputs(qPrintable(display.error()), stderr);
        return 2;
    }
    vp::app::PrepareWindowSystem();
    QApplication app(argc, argv);
    Name(app);
    vp::app::QuitOnTermination();
    return options.view ? RunView(options) : RunPanel(options);
#endif
}

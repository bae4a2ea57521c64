#include <QApplication>
#include <QImageWriter>
#include <QTimer>
#include <cstdio>

#include "app/command_line.h"
#include "app/panel.h"
#include "panel/form1.h"
#include "sim/simulated_controller.h"

int main(int argc, char* argv[]) {
    // Read before the application object, which needs a display: --help, --version and a bad
    // option are answered without one.
    const vp::app::Options options = vp::app::ParseCommandLine(vp::app::ArgumentList(argc, argv));
    if (options.exitCode) {
        std::fputs(qPrintable(options.message), options.exitCode == 0 ? stdout : stderr);
        return *options.exitCode;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vacuum-panel"));
    QApplication::setApplicationVersion(QStringLiteral(VP_VERSION));

    vp::link::PortNames ports = options.ports;
    vp::sim::SimulatedController* simulator = nullptr;
    if (options.simulate) {
        simulator = new vp::sim::SimulatedController(&app);
        QString error;
        if (!simulator->Start(&error)) {
            std::fprintf(stderr, "vacuum-panel: cannot start the simulated controller: %s\n",
                         qPrintable(error));
            return 1;
        }
        // Port 3 is where the panel starts, so Connect reaches the simulated plant at once.
        ports.insert(3, simulator->DevicePath());
    }

    vp::app::Panel panel({.ports = ports});
    vp::panel::Form1& window = *panel.window();
    if (!options.record.isEmpty()) {
        if (const auto notice = panel.Record(options.record)) {
            // The panel works as well without a record: say so once and go on.
            std::fprintf(stderr, "vacuum-panel: %s\n", qPrintable(*notice));
            panel.linkDisplay().ShowStatusText(*notice);
        }
    }
    window.show();

    int status = 0;
    if (!options.screenshot.isEmpty()) {
        // The picture shows the window as it stands when the program ends.
        QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] {
            QImageWriter writer(options.screenshot, "png");
            if (!writer.write(window.grab().toImage())) {
                std::fprintf(stderr, "vacuum-panel: cannot write %s: %s\n",
                             qPrintable(options.screenshot), qPrintable(writer.errorString()));
                status = 1;
            }
        });
    }
    if (options.quitAfterSeconds)
        QTimer::singleShot(static_cast<int>(*options.quitAfterSeconds * 1000), &app,
                           &QCoreApplication::quit);
    const int code = app.exec();
    return code != 0 ? code : status;
}

// SPDX-License-Identifier: MIT
#include "app/run_panel.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "app/headless.h"
#include "app/journaling.h"
#include "app/log_line.h"
#include "app/panel.h"
#include "app/publishing.h"
#include "app/quit_signals.h"
#include "app/service_notify.h"
#include "base/program_name.h"
#include "link/port_defaults.h"

namespace vp::app {

int Refuse(const char* what, const QString& why, int code) {
    LogLine(Severity::Error, QLatin1String(what) + ": " + why);
    return code;
}

void QuitAfter(const Options& options) {
    if (options.quitAfterSeconds)
        QTimer::singleShot(static_cast<int>(*options.quitAfterSeconds * 1000),
                           QCoreApplication::instance(), &QCoreApplication::quit);
}

std::optional<int> AnswerWithoutPanel(int& argc, char* argv[], const Options& options) {
    if (options.exitCode) {
        if (*options.exitCode == 0) {
            std::fputs(qPrintable(options.message), stdout);
        } else {  // a service's bad configuration, read in the journal
            QString line = options.message.trimmed();
            const QString name = ProgramSays(kPanelProgram, QString());
            if (line.startsWith(name)) line.remove(0, name.size());
            LogLine(Severity::Error, line);
        }
        return *options.exitCode;
    }
    if (options.discoveryRemove) {
        QCoreApplication app(argc, argv);
        return RemoveDiscovery(*options.publish, options);
    }
    return std::nullopt;
}

void PrepareHeadless() {
    NameApplication(kPanelProgram);
    LogQtMessages();
    QuitOnTermination();
}

int RunPanel(const Options& options, link::PortNames ports, const RunWindow& window) {
    Panel panel({.ports = ports, .logFolder = options.logFolder});
    std::unique_ptr<QObject> attached;
    if (window.attach) attached = window.attach(panel);
    if (!options.record.isEmpty()) {
        if (const Result<> recording = panel.Record(options.record); !recording.ok()) {
            // The panel works as well without a record: say so once and go on.
            LogLine(Severity::Error, recording.error());
            panel.linkDisplay().ShowStatusText(recording.error());
        }
    }
    // Beside the daily logs, so a gateway service's journal lands in its state folder.
    Journaling journaling(panel,
                          {.path = options.logFolder.isEmpty()
                                       ? QString()
                                       : options.logFolder + QStringLiteral("/journal.sqlite")});
    // The service manager hears of the broker from its first state on.
    std::unique_ptr<ServiceNotify> service;
    if (options.headless) service = std::make_unique<ServiceNotify>();
    std::unique_ptr<Publishing> publishing;
    if (options.publish) {
        publishing = std::make_unique<Publishing>(panel, *options.publish, options);
        journaling.SetPrefix(options.publish->prefix);
        journaling.WatchBroker(publishing->client());
        if (service)
            QObject::connect(&publishing->client(), &publish::MqttClient::BrokerStateChanged,
                             service.get(), [&service](auto state, const QString& detail) {
                                 service->SetBroker(BrokerStateText(state, detail));
                             });
        // Files that cannot be used are the configuration's fault, which a restart cannot mend.
        if (const Result<> started = publishing->Start(); !started.ok())
            return Refuse("cannot publish", started.error(), 2);
    }
    // The port the window starts on, unless only other ports are mapped; chosen before the
    // journal starts, so that its first record names it.
    const int headlessPort = ports.isEmpty() || ports.contains(vp::link::kStartPort)
                                 ? vp::link::kStartPort
                                 : ports.firstKey();
    if (options.headless)
        panel.link().MSComm1().SetCommPort(static_cast<std::int16_t>(headlessPort));
    journaling.Start();
    std::unique_ptr<Headless> headless;
    if (options.headless) {
        headless = std::make_unique<Headless>(panel);
        QObject::connect(headless.get(), &Headless::LinkSaid, service.get(),
                         &ServiceNotify::SetLink);
        headless->Start(headlessPort);
        // The port has had its first try and the broker's client runs: the service is up.
        service->Ready();
    } else if (attached && window.show) {
        window.show(*attached);
    }
    QuitAfter(options);
    const int code = QCoreApplication::exec();
    if (service) service->Stopping();
    if (publishing) publishing->Stop();
    journaling.End();
    return code;
}

}  // namespace vp::app

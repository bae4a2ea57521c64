// SPDX-License-Identifier: MIT
#include "app/publishing.h"

#include <QEventLoop>
#include <QTimer>
#include <cstdio>

#include "app/log_line.h"
#include "app/panel.h"
#include "base/program_name.h"
#include "publish/discovery.h"
#include "publish/state_reader.h"

namespace vp::app {

const char* BrokerWord(publish::MqttClient::BrokerState state) {
    using State = publish::MqttClient::BrokerState;
    switch (state) {
        case State::Connecting:
            return "connecting";
        case State::Connected:
            return "connected";
        case State::Unreachable:
            return "unreachable";
        case State::Refused:
            return "refused";
    }
    return "?";
}

namespace {

// A broker away is retried; one that refuses wants an administrator.
Severity SeverityOf(publish::MqttClient::BrokerState state) {
    using State = publish::MqttClient::BrokerState;
    if (state == State::Refused) return Severity::Error;
    return state == State::Unreachable ? Severity::Warning : Severity::Info;
}
}  // namespace

QString BrokerStateText(publish::MqttClient::BrokerState state, const QString& detail) {
    return QLatin1String(BrokerWord(state)) + (detail.isEmpty() ? QString() : ": " + detail);
}

publish::MqttClient::Options ClientOptions(const publish::BrokerUrl& url, const Options& options,
                                           bool will) {
    publish::MqttClient::Options o;
    o.url = url;
    o.credentials = options.credentials;
    o.tls = options.tls;
    if (will) {
        const std::string online = publish::Topics(url.prefix).online;
        o.will = publish::MqttClient::Will{online, publish::Publisher::kOffline, 1, true};
        o.birth = publish::MqttClient::Message{online, publish::Publisher::kOnline, 1, true};
        // One plant, one gateway, one session: a gateway restarted after its connection died
        // without a word takes the old session over at once, and the broker sends the old will
        // then, before the new birth, instead of a keep-alive later on top of it.
        o.clientId = QStringLiteral("vacuum-panel/") + url.prefix;
    } else {
        // A view takes nothing larger than the largest state it would accept: the broker keeps
        // the rest (room for the topic and the packet's header).
        o.maxIncomingPacketBytes = int(publish::kMaxStatePayload) + 64 * 1024;
    }
    return o;
}

void ReportBrokerState(publish::MqttClient& client) {
    QObject::connect(&client, &publish::MqttClient::BrokerStateChanged, &client,
                     [](publish::MqttClient::BrokerState state, const QString& detail) {
                         LogLine(SeverityOf(state), "broker " + BrokerStateText(state, detail));
                     });
    QObject::connect(&client, &publish::MqttClient::PublishRefused, &client,
                     [](const QString& topic, const QString& reason) {
                         std::fprintf(stderr, "%s: broker refused publish to %s: %s\n",
                                      kPanelProgram, qPrintable(topic), qPrintable(reason));
                     });
    QObject::connect(&client, &publish::MqttClient::EventsDropped, &client, [](int count) {
        std::fprintf(stderr,
                     "%s: %d events dropped while the broker did not take them (at most "
                     "%d are held)\n",
                     kPanelProgram, count, publish::MqttClient::kMaxQueuedEvents);
    });
}

Publishing::Publishing(Panel& panel, const publish::BrokerUrl& url, const Options& options)
    : client_(ClientOptions(url, options, true)),
      publisher_(client_, panel.state(), url.prefix, QLatin1String(kVersion)) {
    ReportBrokerState(client_);
    connect(&panel, &Panel::NewsArrived, &publisher_, &publish::Publisher::PublishEvent);
    connect(&panel, &Panel::PressuresLogged, &publisher_, &publish::Publisher::PublishPressures);
    connect(&publisher_, &publish::Publisher::AnotherGateway, this, [](const QString& run) {
        std::fprintf(stderr,
                     "%s: another gateway (run %s) publishes under the same prefix: "
                     "subscribers see both plants mixed\n",
                     kPanelProgram, qPrintable(run));
    });
    if (!options.discovery.isEmpty()) {
        const auto configs =
            publish::DiscoveryConfigs(options.discovery, url.prefix, QLatin1String(kVersion));
        // Retained and unchanging: again on every connection, in case the broker lost them.
        connect(&client_, &publish::MqttClient::Connected, this, [this, configs] {
            for (const auto& config : configs)
                client_.Publish(config.topic, config.payload, config.qos, config.retain);
        });
    }
}

int RemoveDiscovery(const publish::BrokerUrl& url, const Options& options) {
    publish::MqttClient client(ClientOptions(url, options, false));
    ReportBrokerState(client);
    if (const Result<> started = client.Start(); !started.ok()) {
        std::fprintf(stderr, "%s: cannot remove the discovery configs: %s\n", kPanelProgram,
                     qPrintable(started.error()));
        return 1;
    }
    QEventLoop loop;
    QObject::connect(&client, &publish::MqttClient::Connected, &loop, &QEventLoop::quit);
    QTimer::singleShot(kRemoveWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (client.State() != publish::MqttClient::BrokerState::Connected) {
        std::fprintf(stderr, "%s: discovery configs not removed: no broker within %d s\n",
                     kPanelProgram, kRemoveWaitMs / 1000);
        return 1;
    }
    client.Stop(publish::DiscoveryRemovals(options.discovery, url.prefix));
    std::fprintf(stderr, "%s: discovery configs of %s removed under %s\n", kPanelProgram,
                 qPrintable(url.prefix), qPrintable(options.discovery));
    return 0;
}

Result<> Publishing::Start() {
    if (Result<> started = client_.Start(); !started.ok()) return started;
    publisher_.Begin();
    return {};
}

void Publishing::Stop() {
    if (stopped_) return;
    stopped_ = true;
    publisher_.Stop();
}

}  // namespace vp::app

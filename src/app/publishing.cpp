#include "app/publishing.h"

#include <cstdio>

#include "app/panel.h"

namespace vp::app {

namespace {
const char* Word(publish::MqttClient::BrokerState state) {
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
}  // namespace

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
    }
    return o;
}

void ReportBrokerState(publish::MqttClient& client) {
    QObject::connect(&client, &publish::MqttClient::BrokerStateChanged, &client,
                     [](publish::MqttClient::BrokerState state, const QString& detail) {
                         std::fprintf(stderr, "vacuum-panel: broker %s%s%s\n", Word(state),
                                      detail.isEmpty() ? "" : ": ", qPrintable(detail));
                     });
}

Publishing::Publishing(Panel& panel, const publish::BrokerUrl& url, const Options& options)
    : client_(ClientOptions(url, options, true)),
      publisher_(client_, panel.state(), url.prefix, QStringLiteral(VP_VERSION)) {
    ReportBrokerState(client_);
    connect(&panel, &Panel::NewsArrived, &publisher_, &publish::Publisher::PublishEvent);
    connect(&panel, &Panel::PressuresLogged, &publisher_, &publish::Publisher::PublishPressures);
    connect(&publisher_, &publish::Publisher::AnotherGateway, this, [](const QString& run) {
        std::fprintf(stderr,
                     "vacuum-panel: another gateway (run %s) publishes under the same prefix: "
                     "subscribers see both plants mixed\n",
                     qPrintable(run));
    });
}

std::optional<QString> Publishing::Start() {
    QString why;
    if (!client_.Start(&why)) return why;
    return std::nullopt;
}

void Publishing::Stop() {
    if (stopped_) return;
    stopped_ = true;
    publisher_.Stop();
}

}  // namespace vp::app

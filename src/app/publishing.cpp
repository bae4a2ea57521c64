#include "app/publishing.h"

#include "app/log_line.h"
#include "app/panel.h"
#include "publish/state_reader.h"

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

// A broker away is retried; one that refuses wants an administrator.
Severity SeverityOf(publish::MqttClient::BrokerState state) {
    using State = publish::MqttClient::BrokerState;
    if (state == State::Refused) return Severity::Error;
    return state == State::Unreachable ? Severity::Warning : Severity::Info;
}
}  // namespace

QString BrokerStateText(publish::MqttClient::BrokerState state, const QString& detail) {
    return QLatin1String(Word(state)) + (detail.isEmpty() ? QString() : ": " + detail);
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
                         std::fprintf(stderr, "vacuum-panel: broker refused publish to %s: %s\n",
                                      qPrintable(topic), qPrintable(reason));
                     });
    QObject::connect(&client, &publish::MqttClient::EventsDropped, &client, [](int count) {
        std::fprintf(stderr,
                     "vacuum-panel: %d events dropped while the broker did not take them (at most "
                     "%d are held)\n",
                     count, publish::MqttClient::kMaxQueuedEvents);
    });
}

Publishing::Publishing(Panel& panel, const publish::BrokerUrl& url, const Options& options)
    : client_(ClientOptions(url, options, true)), publisher_(client_, panel.state(), url.prefix) {
    ReportBrokerState(client_);
    connect(&panel, &Panel::NewsArrived, &publisher_, &publish::Publisher::PublishEvent);
    connect(&panel, &Panel::PressuresLogged, &publisher_,
            [this, &panel] { publisher_.PublishPressures(panel.state().LastPressures); });
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

// SPDX-License-Identifier: MIT
#include "app/remote_view.h"

#include <cstdio>

#include "app/publishing.h"
#include "app/rate_limited_line.h"
#include "base/program_name.h"
#include "panel/form1.h"
#include "state/plant_status.h"

namespace vp::app {

RemoteView::RemoteView(const publish::BrokerUrl& url, const Options& options)
    : window_(std::make_unique<panel::Form1>(link_, state_)),
      client_(ClientOptions(url, options, false)),
      feed_(client_, state_, url.prefix) {
    ReportBrokerState(client_);
    auto say = [](const QString& line) {
        std::fprintf(stderr, "%s: %s\n", kPanelProgram, qPrintable(line));
    };
    // A broker full of bad or too many payloads must not flood the operator's log.
    auto* refused = new RateLimitedLine(say, this);
    connect(&feed_, &publish::RemoteFeed::Refused, refused,
            [refused](const QString& reason) { refused->Say("payload ignored: " + reason); });
    auto* discarded = new RateLimitedLine(say, this);
    connect(&client_, &publish::MqttClient::ArrivalsDiscarded, discarded, [discarded](int count) {
        discarded->Say(QStringLiteral("%1 messages discarded: they came faster than the view "
                                      "took them")
                           .arg(count));
    });
    window_->Form_Load();
    window_->ShowAsView(url.prefix);
    ShowBrokerState(url);
    // Grey until the plant's state arrives, as a panel is before its first report.
    state::GreyIndicators(state_);
    window_->view().Render();
}

RemoteView::~RemoteView() = default;

// The view has no serial line: where a panel names its port and whether it is open, the view
// names its broker and whether it reaches it, or that the plant said it is gone. The plant's own
// link captions replace these when its state arrives while it is on line.
void RemoteView::ShowBrokerState(const publish::BrokerUrl& url) {
    const std::string broker = ((url.host.contains(u':') ? '[' + url.host + ']' : url.host) + ':' +
                                QString::number(url.port))
                                   .toStdString();
    const auto show = [this, broker](const char* status) {
        state_.SetCaption(state::Text::lblStatus, status);
        state_.SetNotice(state::Text::lblComStatus, broker);
    };
    const auto showBroker = [show](publish::MqttClient::BrokerState state) {
        using State = publish::MqttClient::BrokerState;
        show(state == State::Connected     ? "Broker connected"
             : state == State::Unreachable ? "Broker unreachable"
             : state == State::Refused     ? "Broker refused"
                                           : "Broker connecting");
    };
    showBroker(client_.State());
    connect(&client_, &publish::MqttClient::BrokerStateChanged, this,
            [showBroker](publish::MqttClient::BrokerState state, const QString&) {
                showBroker(state);
            });
    // No state for the watchdog's period while broker and plant say nothing is wrong: the plant's
    // link captions are old news (greyed by the feed before this runs).
    connect(feed_.Watchdog, &QTimer::timeout, this, [this, show] {
        if (client_.State() == publish::MqttClient::BrokerState::Connected && !plantGone_)
            show("Plant silent");
    });
    // Heard after the feed has taken the message: a plant gone stays gone under the last state and
    // view it left on the broker, whichever the broker hands on first.
    const publish::Topics topics(url.prefix);
    connect(&client_, &publish::MqttClient::MessageArrived, this,
            [this, show, showBroker, online = QByteArray::fromStdString(topics.online),
             plant = QByteArray::fromStdString(topics.state),
             view = QByteArray::fromStdString(topics.view)](const QByteArray& topic,
                                                            const QByteArray& payload) {
                if (topic == online && payload == publish::Publisher::kOffline) {
                    plantGone_ = true;
                } else if (topic == online && payload == publish::Publisher::kOnline) {
                    // Back: its state follows its birth. On line all along: leave its captions.
                    if (plantGone_) showBroker(client_.State());
                    plantGone_ = false;
                    return;
                } else if (topic != plant && topic != view) {
                    return;  // the view carries the captions, the state what they are worth
                }
                if (plantGone_) show("Plant offline");
            });
}

Result<> RemoteView::Start() {
    return client_.Start();
}

void RemoteView::Stop() {
    client_.Stop();
}

}  // namespace vp::app

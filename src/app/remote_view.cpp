#include "app/remote_view.h"

#include <cstdio>

#include "app/publishing.h"
#include "panel/form1.h"
#include "state/plant_status.h"

namespace vp::app {

RemoteView::RemoteView(const publish::BrokerUrl& url, const Options& options)
    : window_(std::make_unique<panel::Form1>(link_, state_)),
      client_(ClientOptions(url, options, false)),
      feed_(client_, state_, url.prefix) {
    ReportBrokerState(client_);
    connect(&feed_, &publish::RemoteFeed::Refused, this, [](const QString& reason) {
        std::fprintf(stderr, "vacuum-panel: payload ignored: %s\n", qPrintable(reason));
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
// names its broker and whether it reaches it. The plant's own captions replace these when its
// state arrives, and stand until the broker is lost again.
void RemoteView::ShowBrokerState(const publish::BrokerUrl& url) {
    const QString broker = (url.host.contains(u':') ? '[' + url.host + ']' : url.host) + ':' +
                           QString::number(url.port);
    const auto show = [this, broker](publish::MqttClient::BrokerState state) {
        using State = publish::MqttClient::BrokerState;
        const char* status = state == State::Connected     ? "Broker connected"
                             : state == State::Unreachable ? "Broker unreachable"
                             : state == State::Refused     ? "Broker refused"
                                                           : "Broker connecting";
        state_.SetCaption(state::Text::lblStatus, status);
        state_.SetNotice(state::Text::lblComStatus, broker.toStdString());
    };
    show(client_.State());
    connect(&client_, &publish::MqttClient::BrokerStateChanged, this,
            [show](publish::MqttClient::BrokerState state, const QString&) { show(state); });
}

std::optional<QString> RemoteView::Start() {
    QString why;
    if (!client_.Start(&why)) return why;
    return std::nullopt;
}

void RemoteView::Stop() {
    client_.Stop();
}

}  // namespace vp::app

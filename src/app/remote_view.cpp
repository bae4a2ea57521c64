#include "app/remote_view.h"

#include <cstdio>

#include "app/publishing.h"
#include "app/rate_limited_line.h"
#include "panel/form1.h"
#include "state/plant_status.h"

namespace vp::app {

RemoteView::RemoteView(const publish::BrokerUrl& url, const Options& options)
    : window_(std::make_unique<panel::Form1>(link_, state_)),
      client_(ClientOptions(url, options, false)),
      feed_(client_, state_, url.prefix) {
    ReportBrokerState(client_);
    auto say = [](const QString& line) {
        std::fprintf(stderr, "vacuum-panel: %s\n", qPrintable(line));
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
    // Grey until the plant's state arrives, as a panel is before its first report.
    state::GreyIndicators(state_);
    window_->view().Render();
}

RemoteView::~RemoteView() = default;

std::optional<QString> RemoteView::Start() {
    QString why;
    if (!client_.Start(&why)) return why;
    return std::nullopt;
}

void RemoteView::Stop() {
    client_.Stop();
}

}  // namespace vp::app

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

// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "link/link.h"
#include "publish/mqtt_client.h"
#include "publish/remote_feed.h"
#include "state/panel_state.h"

namespace vp::panel {
class Form1;
}

namespace vp::app {

// The panel's window fed from a plant's topics on the broker instead of a serial line. It
// shows; it cannot send: it has no serial line, and every control that would send is disabled.
class RemoteView : public QObject {
    Q_OBJECT
public:
    RemoteView(const publish::BrokerUrl& url, const Options& options);
    ~RemoteView() override;

    // Fails on a local fault (a TLS file that cannot be used); the broker being away is not one.
    Result<> Start();
    void Stop();

    panel::Form1& window() { return *window_; }
    state::PanelState& state() { return state_; }
    publish::MqttClient& client() { return client_; }
    publish::RemoteFeed& feed() { return feed_; }

private:
    void ShowBrokerState(const publish::BrokerUrl& url);

    state::PanelState state_;
    link::Link link_{{}};  // never opened: the window's handlers want one
    std::unique_ptr<panel::Form1> window_;
    publish::MqttClient client_;
    publish::RemoteFeed feed_;
    bool plantGone_ = false;  // the plant's online flag said false
};

}  // namespace vp::app

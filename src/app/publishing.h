// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include "app/command_line.h"
#include "publish/mqtt_client.h"
#include "publish/publisher.h"

namespace vp::app {

class Panel;

// --discovery-remove: empty retained configs for the plant's Home Assistant entities, acknowledged
// by the broker, and nothing else; 0 when done, 1 when the broker was not reached in time.
inline constexpr int kRemoveWaitMs = 10000;
int RemoveDiscovery(const publish::BrokerUrl& url, const Options& options);

// The client library's connection options from the command line's; the will (online=false under
// the prefix) only for a publisher.
publish::MqttClient::Options ClientOptions(const publish::BrokerUrl& url, const Options& options,
                                           bool will);

// "connecting", "connected", "unreachable", "refused".
const char* BrokerWord(publish::MqttClient::BrokerState state);

// "connected: 127.0.0.1:1883" and the like.
QString BrokerStateText(publish::MqttClient::BrokerState state, const QString& detail);

// Prints the broker's state on standard error, once per change, and what the client could not
// deliver: the status box belongs to the serial line.
void ReportBrokerState(publish::MqttClient& client);

// A panel's plant on the broker: the client, the publisher, and the panel's news and log tick
// handed to it.
class Publishing : public QObject {
    Q_OBJECT
public:
    Publishing(Panel& panel, const publish::BrokerUrl& url, const Options& options);
    // Fails on a local fault (a TLS file that cannot be used); the broker being away is not one.
    Result<> Start();
    // online=false, and a clean goodbye to the broker.
    void Stop();

    publish::MqttClient& client() { return client_; }
    publish::Publisher& publisher() { return publisher_; }

private:
    publish::MqttClient client_;
    publish::Publisher publisher_;
    bool stopped_ = false;
};

}  // namespace vp::app

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "publish/broker_url.h"
#include "publish/credentials.h"

struct mosquitto;

namespace vp::publish {

struct TlsFiles {
    QString ca;    // empty: the system's trusted authorities
    QString cert;  // cert and key together or neither
    QString key;
};

// One MQTT 5 connection to the broker, kept up on a network thread of its own. That thread never
// touches a Qt object: what it learns reaches this object's thread as queued calls.
class MqttClient : public QObject {
    Q_OBJECT
public:
    enum class BrokerState { Connecting, Connected, Unreachable, Refused };
    struct Message {
        std::string topic;
        QByteArray payload;
        int qos = 1;
        bool retain = true;
    };
    using Will = Message;
    struct Options {
        BrokerUrl url;
        std::optional<Credentials> credentials;
        TlsFiles tls;
        std::optional<Will> will;
        // Published first after every (re)connect, before anything else: the online flag.
        std::optional<Message> birth;
        QString clientId;  // empty: the library makes one
        int keepAliveSeconds = 10;
    };

    // QoS 1 messages not yet acknowledged by the broker (queued while it is away, or in flight)
    // are held up to this many; beyond it new ones are dropped, so an outage costs bounded memory.
    static constexpr int kMaxUnacknowledged = 256;
    // The reconnect delay grows 1, 4, 9, 16, 25 s and then stays at 30 s.
    static constexpr int kReconnectDelayMaxSeconds = 30;

    explicit MqttClient(Options options, QObject* parent = nullptr);
    ~MqttClient() override;
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Fails only on a local fault (a TLS file that cannot be read, a bad option, the library);
    // an unreachable or refusing broker is not a failure: the client keeps trying.
    bool Start(QString* error);
    // QoS 0 is dropped while not connected; QoS 1 and 2 are queued up to kMaxUnacknowledged.
    void Publish(const std::string& topic, const QByteArray& payload, int qos, bool retain);
    // Kept, and renewed on every (re)connect before Connected() is emitted.
    void Subscribe(const std::string& pattern, int qos);
    // Publishes `last` in order and waits up to 2 s for the broker to have them all, then
    // disconnects cleanly, so the broker drops the will, and ends the network thread.
    void Stop(const std::vector<Message>& last = {});
    BrokerState State() const { return state_; }
    // Messages dropped by the bound above or for want of a connection; for the owner's figures.
    int DroppedCount() const { return dropped_; }

signals:
    void BrokerStateChanged(vp::publish::MqttClient::BrokerState state, const QString& detail);
    void Connected();
    void MessageArrived(const QByteArray& topic, const QByteArray& payload);

private:
    struct Callbacks;
    struct Subscription {
        std::string pattern;
        int qos;
    };

    void Run();
    bool RunOneConnection(bool first);
    void WaitBeforeRetry(int failures);
    void SetState(BrokerState state, const QString& detail);
    template <typename Call>
    void Post(Call&& call) {
        QMetaObject::invokeMethod(this, std::forward<Call>(call), Qt::QueuedConnection);
    }

    Options options_;
    mosquitto* mosq_ = nullptr;
    std::thread network_;
    // This object's thread only.
    BrokerState state_ = BrokerState::Connecting;
    bool started_ = false;
    bool stopped_ = false;
    int dropped_ = 0;
    // Shared with the network thread.
    std::atomic<bool> connected_{false};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    // Guarded by mutex_.
    std::vector<Subscription> subscriptions_;
    std::set<int> unackedSubscriptions_;
    bool renewing_ = false;
    std::set<int> unacknowledged_;
    std::optional<int> lastMid_;
    bool lastDelivered_ = false;
    // The network thread only.
    bool attemptAccepted_ = false;
    bool attemptRefused_ = false;
};

}  // namespace vp::publish

// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/result.h"
#include "publish/broker_url.h"
#include "publish/credentials.h"
#include "publish/inbox.h"
#include "publish/message.h"
#include "publish/outbox.h"

struct mosquitto;

namespace vp::publish {

struct TlsFiles {
    QString ca;    // empty: the system's trusted authorities
    QString cert;  // cert and key together or neither
    QString key;
};

// One MQTT 5 connection to the broker, kept up on a network thread of its own. That thread never
// touches a Qt object: what it learns reaches this object's thread as queued calls.
//
// The client keeps its own outbox rather than handing everything to the library while the broker
// is away or slow: after every (re)connect it sends the birth, then the newest value of every
// retained topic it was given, then the events still queued, with at most kMaxInFlight messages
// unacknowledged at a time. A publisher so only ever publishes the current value of a topic.
class MqttClient : public QObject {
    Q_OBJECT
public:
    enum class BrokerState { Connecting, Connected, Unreachable, Refused };
    using Message = publish::Message;
    using Will = Message;
    struct Options {
        BrokerUrl url;
        std::optional<Credentials> credentials;
        TlsFiles tls;
        std::optional<Will> will;
        // Published first after every (re)connect, before anything else: the online flag.
        std::optional<Message> birth;
        // Empty: the library makes a random one. A publisher gives a stable one, so that the
        // broker hands its session to a restarted gateway instead of keeping the old one's will.
        QString clientId;
        int keepAliveSeconds = 10;
        // Asks the broker (MQTT 5's maximum packet size) not to send anything larger; 0: no limit.
        int maxIncomingPacketBytes = 0;
    };

    // Events (QoS 1, not retained) held, queued or unacknowledged: about 15 minutes of a busy
    // plant's reports, or a whole shift of pressure ticks. Beyond it new events are dropped and
    // counted. Retained topics need no bound: each keeps only its newest value.
    static constexpr int kMaxQueuedEvents = 1000;
    // Messages handed to the library and not yet acknowledged; below the broker's usual receive
    // maximum (20), so the library never has to queue behind it.
    static constexpr int kMaxInFlight = 16;
    // Messages that arrived and the Qt thread has not taken yet, retained ones not counted (they
    // keep only their newest payload).
    static constexpr int kMaxQueuedArrivals = 1000;
    // The reconnect delay grows 1, 4, 9, 16, 25 s and then stays at 30 s.
    static constexpr int kReconnectDelayMaxSeconds = 30;

    explicit MqttClient(Options options, QObject* parent = nullptr);
    ~MqttClient() override;
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Fails only on a local fault (a TLS file that cannot be read, a bad option, the library);
    // an unreachable or refusing broker is not a failure: the client keeps trying.
    Result<> Start();
    // QoS 0 is dropped while not connected; QoS 1 and 2 go through the outbox (see above).
    void Publish(const std::string& topic, const QByteArray& payload, int qos, bool retain);
    // Kept, and renewed on every (re)connect before Connected() is emitted.
    void Subscribe(const std::string& pattern, int qos);
    // Publishes `last` in order at once, waits up to 2 s for the broker to have them and what
    // the outbox still holds, then disconnects cleanly, so the broker drops the will (or, when
    // `last` was not acknowledged in time, asks it to send the will), and ends the network thread.
    void Stop(const std::vector<Message>& last = {});
    BrokerState State() const { return state_; }
    // Messages dropped by the event bound or for want of a connection; for the owner's figures.
    int DroppedCount() const { return dropped_; }
    // Messages the network thread received, taken or not; any thread may ask.
    long long ArrivedCount() const { return arrived_; }
    // Messages that arrived and were discarded before the Qt thread took them.
    int DiscardedArrivals() const { return discardedArrivals_; }

signals:
    void BrokerStateChanged(vp::publish::MqttClient::BrokerState state, const QString& detail);
    void Connected();
    void MessageArrived(const QByteArray& topic, const QByteArray& payload);
    // Once per backlog, when it has been sent or at Stop: how many events the bound dropped.
    void EventsDropped(int count);
    // Once per topic: the broker did not take a publish (not authorised by its ACL, quota).
    void PublishRefused(const QString& topic, const QString& reason);
    // Messages that arrived faster than this thread took them and were discarded since the last
    // time this was said.
    void ArrivalsDiscarded(int count);

private:
    struct Callbacks;
    struct Subscription {
        std::string pattern;
        int qos;
    };

    void Run();
    bool RunOneConnection(bool first);
    Result<> Configure();
    QString Cause(int rc, int savedErrno) const;
    void WaitBeforeRetry(int failures);
    void SetState(BrokerState state, const QString& detail);
    void Pump(int window);
    void TakeArrivals();
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
    std::atomic<bool> stopped_{false};
    int discardedArrivals_ = 0;
    // Shared with the network thread.
    std::atomic<int> dropped_{0};
    std::atomic<long long> arrived_{0};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    // Guarded by mutex_.
    bool connected_ = false;
    Outbox outbox_{kMaxQueuedEvents};
    Inbox inbox_{kMaxQueuedArrivals};
    int droppedUntold_ = 0;
    std::map<int, std::string> othersInFlight_;  // the birth and Stop's last messages
    std::set<std::string> refusedTopics_;
    std::vector<Subscription> subscriptions_;
    std::set<int> unackedSubscriptions_;
    bool renewing_ = false;
    std::optional<int> lastMid_;
    bool lastDelivered_ = false;
    int stopReason_ = 0;  // the DISCONNECT's reason code: normal, or "send my will"
    // The network thread only.
    bool attemptAccepted_ = false;
    bool attemptRefused_ = false;
    int disconnectRc_ = 0;
    QString tlsCause_;
};

}  // namespace vp::publish

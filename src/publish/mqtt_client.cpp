// SPDX-License-Identifier: MIT
#include "publish/mqtt_client.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <utility>

#include "publish/tls_files.h"

namespace vp::publish {
namespace {

using namespace std::chrono_literals;

// How long Stop waits for the broker to acknowledge the last message, and for the DISCONNECT to
// leave, before it gives up: an exit must not hang on a broker that stopped answering.
constexpr auto kStopBound = 2s;
// The network loop wakes at least this often to keep the session alive and to notice Stop.
constexpr int kLoopTimeoutMs = 500;

void EnsureLibrary() {
    static const struct Library {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
    } library;
}

QString Describe(int rc, int savedErrno) {
    if (rc == MOSQ_ERR_ERRNO) return QString::fromLocal8Bit(std::strerror(savedErrno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

QString Fault(const char* what, int rc) {
    return QStringLiteral("MQTT %1: %2").arg(QLatin1String(what), Describe(rc, errno));
}

}  // namespace

// The library's callbacks run on the network thread: they touch only what the mutex guards, the
// atomics, and hand everything else over with Post.
struct MqttClient::Callbacks {
    static MqttClient* Self(void* object) { return static_cast<MqttClient*>(object); }

    static void OnConnect(mosquitto* mosq, void* object, int reason, int,
                          const mosquitto_property*) {
        MqttClient* self = Self(object);
        if (reason != 0) {
            self->attemptRefused_ = true;
            const QString why = QString::fromUtf8(mosquitto_reason_string(reason));
            self->Post([self, why] { self->SetState(BrokerState::Refused, why); });
            return;
        }
        self->attemptAccepted_ = true;
        const QString where =
            QStringLiteral("%1:%2").arg(self->options_.url.host).arg(self->options_.url.port);
        self->Post([self, where] { self->SetState(BrokerState::Connected, where); });

        std::lock_guard lock(self->mutex_);
        self->connected_ = true;
        self->othersInFlight_.clear();  // the last connection's, never to be acknowledged
        // Subscriptions first: a client that hears its own topics hears what it sends next.
        self->unackedSubscriptions_.clear();
        for (const Subscription& s : self->subscriptions_) {
            int mid = 0;
            // Retain as published: a retained topic's newer payload may replace an older one
            // not yet taken (see Inbox).
            if (mosquitto_subscribe_v5(mosq, &mid, s.pattern.c_str(), s.qos,
                                       MQTT_SUB_OPT_RETAIN_AS_PUBLISHED,
                                       nullptr) == MOSQ_ERR_SUCCESS)
                self->unackedSubscriptions_.insert(mid);
        }

        // The birth first, then every retained topic's newest value, then the queued events.
        if (const auto& birth = self->options_.birth) {
            int mid = 0;
            if (mosquitto_publish_v5(mosq, &mid, birth->topic.c_str(), int(birth->payload.size()),
                                     birth->payload.constData(), birth->qos, birth->retain,
                                     nullptr) == MOSQ_ERR_SUCCESS)
                self->othersInFlight_[mid] = birth->topic;
        }
        self->outbox_.Restart();
        self->Pump(kMaxInFlight);
        self->renewing_ = !self->unackedSubscriptions_.empty();
        if (!self->renewing_) self->Post([self] { emit self->Connected(); });
    }

    static void OnSubscribe(mosquitto*, void* object, int mid, int, const int*,
                            const mosquitto_property*) {
        MqttClient* self = Self(object);
        std::lock_guard lock(self->mutex_);
        self->unackedSubscriptions_.erase(mid);
        if (self->renewing_ && self->unackedSubscriptions_.empty()) {
            self->renewing_ = false;
            self->Post([self] { emit self->Connected(); });
        }
    }

    static void OnDisconnect(mosquitto*, void* object, int rc, const mosquitto_property*) {
        MqttClient* self = Self(object);
        self->disconnectRc_ = rc;
        {
            std::lock_guard lock(self->mutex_);
            self->connected_ = false;
        }
        self->wake_.notify_all();  // Stop need not wait for an acknowledgement that cannot come
    }

    static void OnPublish(mosquitto*, void* object, int mid, int reason,
                          const mosquitto_property*) {
        MqttClient* self = Self(object);
        std::lock_guard lock(self->mutex_);
        std::optional<std::string> topic = self->outbox_.Acknowledged(mid);
        if (!topic) {
            if (const auto it = self->othersInFlight_.find(mid);
                it != self->othersInFlight_.end()) {
                topic = std::move(it->second);
                self->othersInFlight_.erase(it);
            }
        }
        // A refusal (reason 128 and above) is said once per topic: the same topic will be
        // refused at every publish until the broker's ACL changes.
        if (reason >= 128 && topic && self->refusedTopics_.insert(*topic).second) {
            const QString what = QString::fromStdString(*topic);
            const QString why = QStringLiteral("%1 (%2)")
                                    .arg(QString::fromUtf8(mosquitto_reason_string(reason)))
                                    .arg(reason);
            self->Post([self, what, why] { emit self->PublishRefused(what, why); });
        }
        if (self->lastMid_ == mid) self->lastDelivered_ = true;
        self->Pump(kMaxInFlight);
        if (self->stopped_) self->wake_.notify_all();  // Stop waits for the backlog too
    }

    static void OnMessage(mosquitto*, void* object, const mosquitto_message* message,
                          const mosquitto_property*) {
        MqttClient* self = Self(object);
        QByteArray topic(message->topic);
        QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
        std::lock_guard lock(self->mutex_);
        if (self->inbox_.Put(std::move(topic), std::move(payload), message->retain))
            self->Post([self] { self->TakeArrivals(); });
        ++self->arrived_;
    }

    // OpenSSL's reasons reach us only as the library's log lines; the certificate's own verdict
    // (which check failed) is read from the connection while it still exists.
    static void OnLog(mosquitto* mosq, void* object, int level, const char* text) {
        if (level != MOSQ_LOG_ERR || std::strncmp(text, "OpenSSL Error", 13) != 0) return;
        MqttClient* self = Self(object);
        if (!self->tlsCause_.isEmpty()) return;  // the first line names the cause
        const char* reason = std::strrchr(text, ':');
        QString cause = QString::fromUtf8(reason ? reason + 1 : text);
        if (auto* ssl = static_cast<SSL*>(mosquitto_ssl_get(mosq))) {
            // The library checks the host name in a verify callback of its own, which fails
            // without a reason: after a sound chain, an unspecified failure is the name.
            const long verdict = SSL_get_verify_result(ssl);
            if (verdict == X509_V_ERR_UNSPECIFIED)
                cause += QStringLiteral(" (the certificate is not for host %1)")
                             .arg(self->options_.url.host);
            else if (verdict != X509_V_OK)
                cause += QStringLiteral(" (%1)").arg(
                    QString::fromUtf8(X509_verify_cert_error_string(verdict)));
        }
        // A plain listener closes on a TLS hello, or answers it with bytes that are no TLS.
        if (cause.contains(QLatin1String("wrong version number")) ||
            cause.contains(QLatin1String("unexpected eof")))
            cause += QStringLiteral(" (a plain port? mqtt:// is the plain one)");
        self->tlsCause_ = QStringLiteral("TLS: ") + cause;
    }
};

MqttClient::MqttClient(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {}

MqttClient::~MqttClient() {
    Stop();
    if (mosq_) mosquitto_destroy(mosq_);
}

Result<> MqttClient::Start() {
    if (started_) return Fail(QStringLiteral("MQTT: already started"));
    if (options_.url.host.isEmpty()) return Fail(QStringLiteral("MQTT: no broker host"));
    if (options_.keepAliveSeconds < 5)
        return Fail(QStringLiteral("MQTT: keep-alive must be at least 5 s"));
    const TlsFiles& tls = options_.tls;
    if (const Result<> pairing = CheckTlsPairing(tls, options_.url.tls); !pairing.ok())
        return Fail("MQTT: " + pairing.error());
    for (const QString& file : {tls.ca, tls.cert, tls.key}) {
        if (!file.isEmpty() && !QFileInfo(file).isReadable())
            return Fail(QStringLiteral("MQTT: cannot read TLS file %1").arg(file));
    }

    EnsureLibrary();
    const QByteArray id = options_.clientId.toUtf8();
    mosq_ = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!mosq_) return Fail(Fault("client", errno == EINVAL ? MOSQ_ERR_INVAL : MOSQ_ERR_NOMEM));
    if (Result<> configured = Configure(); !configured.ok()) return configured;
    started_ = true;
    network_ = std::thread([this] { Run(); });
    return {};
}

// Everything a fresh (or reinitialised) library client needs before it connects.
Result<> MqttClient::Configure() {
    // MQTT 5: a refusal comes with its reason (bad password, not authorised), which the operator
    // sees; with 3.1.1 it is one of five numbers.
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_connect_v5_callback_set(mosq_, &Callbacks::OnConnect);
    mosquitto_subscribe_v5_callback_set(mosq_, &Callbacks::OnSubscribe);
    mosquitto_disconnect_v5_callback_set(mosq_, &Callbacks::OnDisconnect);
    mosquitto_publish_v5_callback_set(mosq_, &Callbacks::OnPublish);
    mosquitto_message_v5_callback_set(mosq_, &Callbacks::OnMessage);
    mosquitto_log_callback_set(mosq_, &Callbacks::OnLog);
    // Our own thread runs the loop (see Run); the library must still lock for the Qt thread.
    mosquitto_threaded_set(mosq_, true);

    int rc = MOSQ_ERR_SUCCESS;
    if (const auto& will = options_.will) {
        rc = mosquitto_will_set_v5(mosq_, will->topic.c_str(), int(will->payload.size()),
                                   will->payload.constData(), will->qos, will->retain, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) return Fail(Fault("will", rc));
    }
    if (const auto& c = options_.credentials) {
        rc = mosquitto_username_pw_set(mosq_, c->user.c_str(), c->password.c_str());
        if (rc != MOSQ_ERR_SUCCESS) return Fail(Fault("credentials", rc));
    }
    if (options_.url.tls) {
        const TlsFiles& tls = options_.tls;
        const QByteArray ca = tls.ca.toLocal8Bit(), cert = tls.cert.toLocal8Bit(),
                         key = tls.key.toLocal8Bit();
        // The library verifies the broker's certificate and host name unless told otherwise.
        rc = mosquitto_tls_set(mosq_, ca.isEmpty() ? nullptr : ca.constData(),
                               ca.isEmpty() ? "/etc/ssl/certs" : nullptr,
                               cert.isEmpty() ? nullptr : cert.constData(),
                               key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) return Fail(Fault("TLS", rc));
    }
    if (options_.maxIncomingPacketBytes > 0) {
        // The asynchronous connect takes no CONNECT properties; the blocking one keeps them for
        // every later connect even when it fails, as it does at once without a host.
        mosquitto_property* properties = nullptr;
        rc = mosquitto_property_add_int32(&properties, MQTT_PROP_MAXIMUM_PACKET_SIZE,
                                          uint32_t(options_.maxIncomingPacketBytes));
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_connect_bind_v5(mosq_, nullptr, 0, options_.keepAliveSeconds, nullptr,
                                           properties);
        mosquitto_property_free_all(&properties);
        if (rc != MOSQ_ERR_INVAL) return Fail(Fault("maximum packet size", rc));
    }
    return {};
}

// libmosquitto's own loop thread (loop_start) gives up for good when the first connect fails,
// when an MQTT 5 broker refuses the connection, and on TLS or name-lookup errors, and it
// reconnects with a blocking connect that Stop cannot cut short. This loop retries every
// failure with the capped back-off and connects without blocking.
void MqttClient::Run() {
    int failures = 0;
    for (bool first = true; !stopping_; first = false) {
        if (RunOneConnection(first)) break;
        // A lost connection counts as the first failure: 1 s, then 4, 9, 16, 25 and 30 s.
        failures = attemptAccepted_ ? 1 : failures + 1;
        WaitBeforeRetry(failures);
    }
}

// One connection from connect to loss. True when it ended because of Stop.
//
// Every attempt starts from a fresh library client: what the library still held from the last
// connection would otherwise be sent again ahead of the birth, and the outbox has it anyway.
//
// A name with several addresses (localhost as ::1 and 127.0.0.1) is tried at its first address
// that accepts a non-blocking connect, as the library does; trying each one ourselves would mean
// connecting to a bare address, and the TLS host name check would then see that address instead
// of the name the operator gave.
bool MqttClient::RunOneConnection(bool first) {
    attemptAccepted_ = attemptRefused_ = false;
    disconnectRc_ = 0;
    tlsCause_.clear();
    if (!first) {
        std::lock_guard lock(mutex_);
        const QByteArray id = options_.clientId.toUtf8();
        const int rc =
            mosquitto_reinitialise(mosq_, id.isEmpty() ? nullptr : id.constData(), true, this);
        const Result<> configured = rc == MOSQ_ERR_SUCCESS ? Configure() : Result<>();
        if (rc != MOSQ_ERR_SUCCESS || !configured.ok()) {
            const QString why = configured.ok() ? QString() : configured.error();
            Post([this, why] { SetState(BrokerState::Unreachable, why); });
            return false;
        }
    }
    const QByteArray host = options_.url.host.toUtf8();
    int rc = mosquitto_connect_async(mosq_, host.constData(), options_.url.port,
                                     options_.keepAliveSeconds);
    std::optional<std::chrono::steady_clock::time_point> stopDeadline;
    while (rc == MOSQ_ERR_SUCCESS) {
        if (stopping_) {
            const auto now = std::chrono::steady_clock::now();
            if (!stopDeadline) {
                stopDeadline = now + kStopBound;
                std::lock_guard lock(mutex_);
                mosquitto_disconnect_v5(mosq_, stopReason_, nullptr);
            } else if (now > *stopDeadline) {
                break;
            }
        }
        rc = mosquitto_loop(mosq_, kLoopTimeoutMs, 1);
    }
    const int savedErrno = errno;
    {
        std::lock_guard lock(mutex_);
        connected_ = false;
    }
    if (stopping_) return true;
    if (!attemptRefused_) {
        const QString why = Cause(rc, savedErrno);
        Post([this, why] { SetState(BrokerState::Unreachable, why); });
    }
    return false;
}

// The cause of a lost or failed connection in the operator's words, as far as the library and
// OpenSSL tell it.
QString MqttClient::Cause(int rc, int savedErrno) const {
    if (!tlsCause_.isEmpty()) return tlsCause_;
    if (rc == MOSQ_ERR_KEEPALIVE || disconnectRc_ == MOSQ_ERR_KEEPALIVE)
        return QStringLiteral("no answer from the broker within the keep-alive (%1 s)")
            .arg(options_.keepAliveSeconds);
    if (rc == MOSQ_ERR_TLS) return QStringLiteral("TLS handshake failed");
    if (rc == MOSQ_ERR_EAI) return QStringLiteral("cannot resolve %1").arg(options_.url.host);
    if (!attemptAccepted_ && (rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_PROTOCOL)) {
        // A TLS listener closes a plain CONNECT without a word.
        return options_.url.tls
                   ? QStringLiteral("the broker closed the connection before answering")
                   : QStringLiteral(
                         "the broker closed the connection before answering (a TLS port? "
                         "mqtts:// is the TLS one)");
    }
    return Describe(rc, savedErrno);
}

void MqttClient::WaitBeforeRetry(int failures) {
    const int delay = std::min(failures * failures, kReconnectDelayMaxSeconds);
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::seconds(delay), [this] { return stopping_.load(); });
}

void MqttClient::SetState(BrokerState state, const QString& detail) {
    if (state == state_) return;
    state_ = state;
    emit BrokerStateChanged(state, detail);
}

// Hands the outbox to the library while fewer than `window` are unacknowledged. mutex_ held.
void MqttClient::Pump(int window) {
    while (connected_ && outbox_.InFlight() < window) {
        const Message* m = outbox_.Next();
        if (!m) break;
        int mid = 0;
        const int rc = mosquitto_publish_v5(mosq_, &mid, m->topic.c_str(), int(m->payload.size()),
                                            m->payload.constData(), m->qos, m->retain, nullptr);
        if (rc == MOSQ_ERR_SUCCESS) {
            outbox_.Sent(mid);
        } else if (rc == MOSQ_ERR_NO_CONN) {
            break;  // sent again after the reconnect
        } else {
            // Too large for this broker, or a topic it cannot take: sending it again cannot help.
            outbox_.Discard();
            ++dropped_;
            ++droppedUntold_;
        }
    }
    if (droppedUntold_ > 0 && outbox_.EventsHeld() == 0) {
        const int count = std::exchange(droppedUntold_, 0);
        Post([this, count] { emit EventsDropped(count); });
    }
}

void MqttClient::TakeArrivals() {
    std::vector<Inbox::Arrival> arrivals;
    int discarded = 0;
    {
        std::lock_guard lock(mutex_);
        arrivals = inbox_.TakeAll();
        discarded = inbox_.TakeDiscarded();
    }
    if (discarded > 0) {
        discardedArrivals_ += discarded;
        emit ArrivalsDiscarded(discarded);
    }
    for (const Inbox::Arrival& a : arrivals) emit MessageArrived(a.topic, a.payload);
}

void MqttClient::Publish(const std::string& topic, const QByteArray& payload, int qos,
                         bool retain) {
    if (!started_ || stopped_) return;
    std::lock_guard lock(mutex_);
    if (qos == 0) {
        if (!connected_ ||
            mosquitto_publish_v5(mosq_, nullptr, topic.c_str(), int(payload.size()),
                                 payload.constData(), 0, retain, nullptr) != MOSQ_ERR_SUCCESS) {
            ++dropped_;
            ++droppedUntold_;
        }
        return;
    }
    if (!outbox_.Put(Message{topic, payload, qos, retain})) {
        ++dropped_;
        ++droppedUntold_;
        return;
    }
    Pump(kMaxInFlight);
}

void MqttClient::Subscribe(const std::string& pattern, int qos) {
    std::lock_guard lock(mutex_);
    subscriptions_.push_back({pattern, qos});
    if (connected_)
        mosquitto_subscribe_v5(mosq_, nullptr, pattern.c_str(), qos,
                               MQTT_SUB_OPT_RETAIN_AS_PUBLISHED, nullptr);
}

void MqttClient::Stop(const std::vector<Message>& last) {
    if (!started_ || stopped_) return;
    stopped_ = true;
    int untold = 0;
    {
        std::unique_lock lock(mutex_);
        if (connected_) {
            // The last word goes out at once, beside what is in flight (the window leaves room
            // for it under the broker's receive maximum); the backlog follows as the broker
            // acknowledges, within the same bound.
            bool sent = true;
            int mid = 0;
            for (const Message& m : last) {
                sent = mosquitto_publish_v5(mosq_, &mid, m.topic.c_str(), int(m.payload.size()),
                                            m.payload.constData(), m.qos, m.retain,
                                            nullptr) == MOSQ_ERR_SUCCESS &&
                       sent;
                if (sent) othersInFlight_[mid] = m.topic;
            }
            if (sent && !last.empty()) lastMid_ = mid;
            wake_.wait_for(lock, kStopBound, [this] {
                return ((!lastMid_ || lastDelivered_) && outbox_.Idle()) || !connected_;
            });
            // A broker too slow to take the last word within the bound gets the will said for
            // us instead: a plant that ended must not stay online there.
            if (!last.empty() && !lastDelivered_) stopReason_ = MQTT_RC_DISCONNECT_WITH_WILL_MSG;
        }
        // What could not be sent is lost with the program: said now, or never.
        droppedUntold_ += outbox_.EventsHeld();
        untold = std::exchange(droppedUntold_, 0);
        stopping_ = true;
        // Sends DISCONNECT at once when connected and wakes the loop; the loop sends it
        // otherwise. Under the lock: the network thread renews the library's client under it.
        mosquitto_disconnect_v5(mosq_, stopReason_, nullptr);
    }
    wake_.notify_all();
    network_.join();
    if (untold > 0) emit EventsDropped(untold);
}

}  // namespace vp::publish

#include "publish/mqtt_client.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <cstring>

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
        self->connected_ = true;
        if (const auto& birth = self->options_.birth)
            mosquitto_publish_v5(mosq, nullptr, birth->topic.c_str(), int(birth->payload.size()),
                                 birth->payload.constData(), birth->qos, birth->retain, nullptr);
        const QString where =
            QStringLiteral("%1:%2").arg(self->options_.url.host).arg(self->options_.url.port);
        self->Post([self, where] { self->SetState(BrokerState::Connected, where); });

        std::lock_guard lock(self->mutex_);
        self->unackedSubscriptions_.clear();
        for (const Subscription& s : self->subscriptions_) {
            int mid = 0;
            if (mosquitto_subscribe_v5(mosq, &mid, s.pattern.c_str(), s.qos, 0, nullptr) ==
                MOSQ_ERR_SUCCESS)
                self->unackedSubscriptions_.insert(mid);
        }
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

    static void OnDisconnect(mosquitto*, void* object, int, const mosquitto_property*) {
        MqttClient* self = Self(object);
        self->connected_ = false;
        self->wake_.notify_all();  // Stop need not wait for an acknowledgement that cannot come
    }

    static void OnPublish(mosquitto*, void* object, int mid, int, const mosquitto_property*) {
        MqttClient* self = Self(object);
        std::lock_guard lock(self->mutex_);
        self->unacknowledged_.erase(mid);
        if (self->lastMid_ == mid) {
            self->lastDelivered_ = true;
            self->wake_.notify_all();
        }
    }

    static void OnMessage(mosquitto*, void* object, const mosquitto_message* message,
                          const mosquitto_property*) {
        MqttClient* self = Self(object);
        QByteArray topic(message->topic);
        QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
        self->Post([self, topic, payload] { emit self->MessageArrived(topic, payload); });
    }
};

MqttClient::MqttClient(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {}

MqttClient::~MqttClient() {
    Stop();
    if (mosq_) mosquitto_destroy(mosq_);
}

bool MqttClient::Start(QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (started_) return fail(QStringLiteral("MQTT: already started"));
    if (options_.url.host.isEmpty()) return fail(QStringLiteral("MQTT: no broker host"));
    if (options_.keepAliveSeconds < 5)
        return fail(QStringLiteral("MQTT: keep-alive must be at least 5 s"));
    const TlsFiles& tls = options_.tls;
    if (!options_.url.tls && !(tls.ca.isEmpty() && tls.cert.isEmpty() && tls.key.isEmpty()))
        return fail(QStringLiteral("MQTT: TLS files need an mqtts:// broker URL"));
    if (tls.cert.isEmpty() != tls.key.isEmpty())
        return fail(
            QStringLiteral("MQTT: a client certificate needs its key, and a key its certificate"));
    for (const QString& file : {tls.ca, tls.cert, tls.key}) {
        if (!file.isEmpty() && !QFileInfo(file).isReadable())
            return fail(QStringLiteral("MQTT: cannot read TLS file %1").arg(file));
    }

    EnsureLibrary();
    const QByteArray id = options_.clientId.toUtf8();
    mosq_ = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!mosq_) return fail(Fault("client", errno == EINVAL ? MOSQ_ERR_INVAL : MOSQ_ERR_NOMEM));
    // MQTT 5: a refusal comes with its reason (bad password, not authorised), which the operator
    // sees; with 3.1.1 it is one of five numbers.
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_connect_v5_callback_set(mosq_, &Callbacks::OnConnect);
    mosquitto_subscribe_v5_callback_set(mosq_, &Callbacks::OnSubscribe);
    mosquitto_disconnect_v5_callback_set(mosq_, &Callbacks::OnDisconnect);
    mosquitto_publish_v5_callback_set(mosq_, &Callbacks::OnPublish);
    mosquitto_message_v5_callback_set(mosq_, &Callbacks::OnMessage);
    // Our own thread runs the loop (see Run); the library must still lock for the Qt thread.
    mosquitto_threaded_set(mosq_, true);

    int rc = MOSQ_ERR_SUCCESS;
    if (const auto& will = options_.will) {
        rc = mosquitto_will_set_v5(mosq_, will->topic.c_str(), int(will->payload.size()),
                                   will->payload.constData(), will->qos, will->retain, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) return fail(Fault("will", rc));
    }
    if (const auto& c = options_.credentials) {
        rc = mosquitto_username_pw_set(mosq_, c->user.c_str(), c->password.c_str());
        if (rc != MOSQ_ERR_SUCCESS) return fail(Fault("credentials", rc));
    }
    if (options_.url.tls) {
        const QByteArray ca = tls.ca.toLocal8Bit(), cert = tls.cert.toLocal8Bit(),
                         key = tls.key.toLocal8Bit();
        // The library verifies the broker's certificate and host name unless told otherwise.
        rc = mosquitto_tls_set(mosq_, ca.isEmpty() ? nullptr : ca.constData(),
                               ca.isEmpty() ? "/etc/ssl/certs" : nullptr,
                               cert.isEmpty() ? nullptr : cert.constData(),
                               key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) return fail(Fault("TLS", rc));
    }

    started_ = true;
    network_ = std::thread([this] { Run(); });
    return true;
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
bool MqttClient::RunOneConnection(bool first) {
    attemptAccepted_ = attemptRefused_ = false;
    const QByteArray host = options_.url.host.toUtf8();
    int rc = first ? mosquitto_connect_async(mosq_, host.constData(), options_.url.port,
                                             options_.keepAliveSeconds)
                   : mosquitto_reconnect_async(mosq_);
    std::optional<std::chrono::steady_clock::time_point> stopDeadline;
    while (rc == MOSQ_ERR_SUCCESS) {
        if (stopping_) {
            const auto now = std::chrono::steady_clock::now();
            if (!stopDeadline) {
                stopDeadline = now + kStopBound;
                mosquitto_disconnect_v5(mosq_, MQTT_RC_NORMAL_DISCONNECTION, nullptr);
            } else if (now > *stopDeadline) {
                break;
            }
        }
        rc = mosquitto_loop(mosq_, kLoopTimeoutMs, 1);
    }
    const int savedErrno = errno;
    connected_ = false;
    if (stopping_) return true;
    if (!attemptRefused_) {
        const QString why = Describe(rc, savedErrno);
        Post([this, why] { SetState(BrokerState::Unreachable, why); });
    }
    return false;
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

void MqttClient::Publish(const std::string& topic, const QByteArray& payload, int qos,
                         bool retain) {
    if (!started_ || stopped_) return;
    std::lock_guard lock(mutex_);
    const bool queued = qos > 0;
    if (queued ? int(unacknowledged_.size()) >= kMaxUnacknowledged : !connected_) {
        ++dropped_;
        return;
    }
    int mid = 0;
    const int rc = mosquitto_publish_v5(mosq_, &mid, topic.c_str(), int(payload.size()),
                                        payload.constData(), qos, retain, nullptr);
    // Without a connection the library answers MOSQ_ERR_NO_CONN for QoS 1 too, yet keeps the
    // message queued and sends it after the reconnect.
    if (rc == MOSQ_ERR_SUCCESS || (queued && rc == MOSQ_ERR_NO_CONN)) {
        if (queued) unacknowledged_.insert(mid);
    } else {
        ++dropped_;
    }
}

void MqttClient::Subscribe(const std::string& pattern, int qos) {
    std::lock_guard lock(mutex_);
    subscriptions_.push_back({pattern, qos});
    if (connected_) mosquitto_subscribe_v5(mosq_, nullptr, pattern.c_str(), qos, 0, nullptr);
}

void MqttClient::Stop(const std::vector<Message>& last) {
    if (!started_ || stopped_) return;
    stopped_ = true;
    if (!last.empty() && connected_) {
        std::unique_lock lock(mutex_);
        // QoS 1 messages of one session reach the broker in order: the last one's
        // acknowledgement stands for all of them.
        bool sent = true;
        int mid = 0;
        for (const Message& m : last)
            sent = mosquitto_publish_v5(mosq_, &mid, m.topic.c_str(), int(m.payload.size()),
                                        m.payload.constData(), m.qos, m.retain,
                                        nullptr) == MOSQ_ERR_SUCCESS &&
                   sent;
        if (sent) {
            lastMid_ = mid;
            wake_.wait_for(lock, kStopBound, [this] { return lastDelivered_ || !connected_; });
        }
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // Sends DISCONNECT at once when connected and wakes the loop; the loop sends it otherwise.
    mosquitto_disconnect_v5(mosq_, MQTT_RC_NORMAL_DISCONNECTION, nullptr);
    network_.join();
}

}  // namespace vp::publish

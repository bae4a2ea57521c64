// SPDX-License-Identifier: MIT
#include "sim/simulated_controller.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "sim/pty_bridge.h"
#include "sim/replies.h"
#include "sim/responder.h"

namespace vp::sim {

namespace {

constexpr qsizetype kMaxBodies = 1000;
// The panel's lines are a few characters long; a run this long without CR is garbage.
constexpr qsizetype kMaxLine = 1024;
constexpr std::uint8_t kWarningResult = 150;

void Count(int& counter) {
    if (counter < INT_MAX) ++counter;  // saturates: these only feed tests and a person's eye
}

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Whether the simulator may put its link at `path`: the path is free or holds a link to a
// pseudo-terminal. A slip such as --link plant.rec must not cost the recording.
Result<> LinkAllowed(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) {
        if (errno == ENOENT) return {};
        return Fail(ErrnoText());
    }
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
        const QByteArray to(target, n > 0 ? n : 0);
        if (to.startsWith("/dev/pts/")) return {};
        return Fail(QStringLiteral("it is a symbolic link to %1, not to a pseudo-terminal")
                        .arg(QFile::decodeName(to)));
    }
    const char* what = S_ISDIR(st.st_mode)    ? "a folder"
                       : S_ISREG(st.st_mode)  ? "a file"
                       : S_ISFIFO(st.st_mode) ? "a FIFO"
                                              : "a device or socket";
    return Fail(QStringLiteral("%1 is there").arg(QLatin1String(what)));
}

bool IsStatusReport(const QByteArray& body) {
    return body.startsWith("111") && body.size() > 4 &&
           static_cast<std::uint8_t>(body[4]) == code::kOk;
}

}  // namespace

SimulatedController::SimulatedController(QObject* parent)
    : QObject(parent), bridge_(new PtyBridge(this)), push_timer_(new QTimer(this)) {
    connect(bridge_, &PtyBridge::BytesRead, this, &SimulatedController::OnBytes);
    // A few milliseconds of reports at a time: at 921,600 bit/s that is a dozen per write, which
    // keeps the pace even without a wakeup per report.
    push_timer_->setInterval(5);
    push_timer_->setTimerType(Qt::PreciseTimer);
    connect(push_timer_, &QTimer::timeout, this, &SimulatedController::PushDue);
}

SimulatedController::~SimulatedController() {
    Stop();
}

Result<> SimulatedController::Start() {
    if (bridge_->IsOpen()) return {};
    if (Result<> opened = bridge_->Open(); !opened.ok()) return opened;
    if (!clock_.isValid()) {
        clock_.start();
        synced_ms_ = 0;
    }
    SyncClock();
    rx_.clear();
    if (!link_path_.isEmpty()) {
        if (Result<> linked = MakeLink(link_path_); !linked.ok()) {
            bridge_->Close();  // half started is not started
            return linked;
        }
    }
    return {};
}

void SimulatedController::Stop() {
    RemoveLink();
    bridge_->Close();
    rx_.clear();
}

QString SimulatedController::DevicePath() const {
    return bridge_->SlavePath();
}

Result<> SimulatedController::MakeLink(const QString& linkPath) {
    if (!bridge_->IsOpen()) return Fail(QStringLiteral("the simulator is not running"));
    // Build the new link beside the old one and rename it over: the path never goes missing.
    const QByteArray target = QFile::encodeName(DevicePath());
    const QByteArray path = QFile::encodeName(linkPath);
    const QByteArray temp = path + ".new-" + QByteArray::number(::getpid());
    if (const Result<> allowed = LinkAllowed(path); !allowed.ok())
        return Fail(QStringLiteral("will not link %1: %2; only a link to a pseudo-terminal is "
                                   "replaced, so nothing was changed")
                        .arg(linkPath, allowed.error()));
    ::unlink(temp.constData());
    if (::symlink(target.constData(), temp.constData()) != 0 ||
        ::rename(temp.constData(), path.constData()) != 0) {
        const QString why = ErrnoText();
        ::unlink(temp.constData());
        return Fail(QStringLiteral("cannot link %1: %2").arg(linkPath, why));
    }
    link_path_ = linkPath;
    return {};
}

void SimulatedController::RemoveLink() {
    // Only our own link goes: someone may have put something else there meanwhile.
    if (link_path_.isEmpty() || DevicePath().isEmpty()) return;
    const QFileInfo info(link_path_);
    if (info.isSymLink() && info.symLinkTarget() == DevicePath()) QFile::remove(link_path_);
}

Result<> SimulatedController::InjectFault(const QString& request) {
    SyncClock();
    if (Result<> injected = faults_.Inject(request, plant_.Time()); !injected.ok()) return injected;
    UpdatePush();
    return {};
}

void SimulatedController::UpdatePush() {
    if (faults_.PushRate() == push_rate_) return;
    push_rate_ = faults_.PushRate();
    push_sent_ = 0;
    push_clock_.start();
    if (push_rate_ > 0) {
        push_timer_->start();
    } else {
        push_timer_->stop();
    }
}

void SimulatedController::PushDue() {
    if (!bridge_->IsOpen() || push_rate_ <= 0) return;
    // A report is 82 bytes on the line (81 and its CR), each byte ten bits with start and stop.
    constexpr qint64 kBitsPerReport = 82 * 10;
    const qint64 due = push_clock_.elapsed() * push_rate_ / (1000 * kBitsPerReport);
    if (due <= push_sent_) return;
    SyncClock();
    QByteArray out;
    for (; push_sent_ < due; ++push_sent_) {
        out += Frame(StatusReportBody(plant_));
        Count(status_reports_sent_);
        Count(pushed_);
    }
    bridge_->Write(out);
}

Plant& SimulatedController::plant() {
    return plant_;
}

int SimulatedController::FramesReceived() const {
    return frames_received_;
}

int SimulatedController::BadFramesReceived() const {
    return bad_frames_;
}

int SimulatedController::StatusReportsSent() const {
    return status_reports_sent_;
}

qint64 SimulatedController::DroppedBytes() const {
    return bridge_->DroppedBytes();
}

QList<QByteArray> SimulatedController::ReceivedBodies() const {
    return bodies_;
}

void SimulatedController::SyncClock() {
    if (!clock_.isValid()) return;
    const qint64 now = clock_.elapsed();
    plant_.Advance(static_cast<double>(now - synced_ms_) / 1000.0);
    synced_ms_ = now;
}

void SimulatedController::OnBytes(const QByteArray& bytes) {
    rx_.append(bytes);
    qsizetype cr;
    while ((cr = rx_.indexOf('\r')) >= 0) {
        const QByteArray frame = rx_.left(cr);
        rx_.remove(0, cr + 1);
        HandleFrame(frame);
    }
    if (rx_.size() > kMaxLine) {
        rx_.clear();
        Count(bad_frames_);
    }
}

int SimulatedController::Replay(QList<ReplayMessage> messages, bool fast, qint64 maxGapMs) {
    int shortened = 0;
    replayDue_.clear();
    replayDue_.reserve(messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i) {
        // A clock set back between two messages counts as no pause at all.
        const qint64 gap = i == 0 ? 0 : std::max<qint64>(0, messages[i].ms - messages[i - 1].ms);
        if (gap > maxGapMs) ++shortened;
        replayDue_.push_back((i == 0 ? 0 : replayDue_.back()) + std::min(gap, maxGapMs));
    }
    replay_ = std::move(messages);
    replayFast_ = fast;
    replayed_ = 0;
    replayClock_.invalidate();
    return shortened;
}

void SimulatedController::PlayDue() {
    if (!replay_ || replayed_ >= replay_->size()) return;
    QByteArray out;
    while (replayed_ < replay_->size()) {
        const qint64 wait = replayDue_[replayed_] - replayClock_.elapsed();
        if (!replayFast_ && wait > 0) {
            // QTimer takes an int: a wait beyond it comes back here and waits again.
            QTimer::singleShot(static_cast<int>(std::min<qint64>(wait, INT_MAX)), this,
                               &SimulatedController::PlayDue);
            break;
        }
        out += (*replay_)[replayed_].message + '\r';
        ++replayed_;
    }
    if (!out.isEmpty() && bridge_->IsOpen()) bridge_->Write(out);
}

void SimulatedController::HandleFrame(const QByteArray& frame) {
    SyncClock();
    Count(frames_received_);
    if (replay_) {
        if (!replayClock_.isValid()) {
            replayClock_.start();
            PlayDue();
        }
        if (frame.size() >= 3) {
            bodies_.append(frame.chopped(3));
            if (bodies_.size() > kMaxBodies) bodies_.removeFirst();
            emit BodyReceived(bodies_.back());
        }
        return;
    }
    const Reply reply = Respond(plant_, frame);
    if (!reply.frame_ok) Count(bad_frames_);

    if (!faults_.Silent(plant_.Time())) {
        const NextReplyFaults fault = faults_.TakeNext();
        QByteArray body = reply.body;
        if (fault.error_code)
            body = ShortReply(body.left(3), static_cast<std::uint8_t>(*fault.error_code));
        if (fault.length) {
            const qsizetype size = *fault.length - 3;
            body = body.size() > size ? body.left(size) : body.leftJustified(size, '0');
        }
        QByteArray out;
        if (fault.noise) out += Noise();
        out += fault.bad_checksum ? FrameWithChecksum(body, Checksum(body) + 1) : Frame(body);
        if (IsStatusReport(body)) Count(status_reports_sent_);
        if (fault.warning_kind) {
            out += Frame(ShortReply(QByteArray::number(*fault.warning_kind), kWarningResult));
        }
        for (int i = 0; i < fault.flood; ++i) {
            out += Frame(StatusReportBody(plant_));
            Count(status_reports_sent_);
        }
        if (fault.split) {
            for (qsizetype at = 0; at < out.size();) {
                const qsizetype piece = 1 + static_cast<qsizetype>(noise_rng_() % 5);
                bridge_->Write(out.mid(at, piece), true);
                at += piece;
            }
        } else {
            bridge_->Write(out);
        }
    }

    if (frame.size() >= 3) {
        const QByteArray body = frame.chopped(3);
        bodies_.append(body);
        if (bodies_.size() > kMaxBodies) bodies_.removeFirst();
        emit BodyReceived(body);
    }
}

QByteArray SimulatedController::Noise() {
    const int size = 8 + static_cast<int>(noise_rng_() % 40);
    QByteArray noise;
    for (int i = 0; i < size; ++i) {
        // About one byte in eight is a CR, so the noise also makes short bogus lines.
        noise.append(noise_rng_() % 8 == 0 ? '\r' : static_cast<char>(noise_rng_() & 0xFF));
    }
    noise.append('\r');
    return noise;
}

}  // namespace vp::sim

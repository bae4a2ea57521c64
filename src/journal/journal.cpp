// SPDX-License-Identifier: MIT
#include "journal/journal.h"

#include <QDateTime>
#include <QDir>

namespace vp::journal {

QString JournalPath(const QString& folder) {
    return QDir(folder.isEmpty() ? QStringLiteral(".") : folder)
        .filePath(QStringLiteral("log/journal.sqlite"));
}

Journal::Journal(Options options, QObject* parent) : QObject(parent), options_(std::move(options)) {
    if (!options_.now) options_.now = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

Journal::~Journal() {
    if (started_ && !ended_) {
        // Not a clean end: what is queued is still written, but no end is recorded.
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }
}

void Journal::Start() {
    if (started_) return;
    started_ = true;
    Add(Kind::Program, std::nullopt,
        "start " + options_.run.program + " " + options_.run.version + " pid " +
            std::to_string(options_.run.pid));
    worker_ = std::thread([this] { Run(); });
}

void Journal::End() {
    if (!started_ || ended_) return;
    Add(Kind::Program, std::nullopt, "end");
    ended_ = true;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void Journal::SetSource(std::string source) {
    source_ = std::move(source);
}

void Journal::Add(Kind kind, std::optional<int> code, std::string text, std::string control,
                  std::string raw) {
    if (ended_) return;
    Entry entry{options_.now(),  kind,          code, source_, std::move(control),
                std::move(text), std::move(raw)};
    std::lock_guard lock(mutex_);
    if (queue_.size() >= kQueueLimit) {
        ++dropped_;
        return;
    }
    ++queuedCount_;
    // The thread is told only of the first record of a batch; it gathers the rest itself.
    const bool first = queue_.empty();
    queue_.push_back(std::move(entry));
    if (first) wake_.notify_one();
}

void Journal::Quality(const char* word) {
    if (quality_ == word) return;
    quality_ = word;
    Add(Kind::Quality, std::nullopt, word);
}

bool Journal::Flush(int timeoutMs) {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = queuedCount_;
    hurry_ = true;
    wake_.notify_all();
    const bool done = handled_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                        [&] { return handledCount_ >= target; });
    hurry_ = false;
    return done;
}

std::uint64_t Journal::Dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void Journal::Say(const QString& line) {
    // On the thread that owns the journal, where its receivers live.
    QMetaObject::invokeMethod(
        this, [this, line] { emit Trouble(line); }, Qt::QueuedConnection);
}

void Journal::Run() {
    JournalFile file;
    // Two buffers change places with the queue, so the event loop's Add seldom grows one, and
    // a written batch is freed outside the lock, where Add never waits for it.
    std::vector<Entry> batch;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || hurry_ || !queue_.empty(); });
        // Gather what arrives within the batch's time into the same transaction.
        wake_.wait_for(lock, std::chrono::milliseconds(kBatchMs),
                       [&] { return stopping_ || hurry_; });
        batch.swap(queue_);
        const bool stop = stopping_;
        lock.unlock();

        const bool written = batch.empty() || Write(file, batch);
        const std::size_t count = batch.size();
        const bool done = written || lasting_;
        if (done) {
            batch.clear();
            batch.reserve(count);
        }

        lock.lock();
        if (done) {
            handledCount_ += count;
        } else {
            // Kept for the next try, ahead of what came meanwhile.
            const std::size_t room = kQueueLimit > queue_.size() ? kQueueLimit - queue_.size() : 0;
            if (batch.size() > room) {
                dropped_ += batch.size() - room;
                handledCount_ += batch.size() - room;
                batch.resize(room);
            }
            queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin()),
                          std::make_move_iterator(batch.end()));
            batch.clear();
        }
        handled_.notify_all();
        if (stop) break;
        if (!done)
            wake_.wait_for(lock, std::chrono::milliseconds(options_.retryMs),
                           [&] { return stopping_; });
    }
    // Whatever could not be written at the end is lost, and that was said.
    handledCount_ = queuedCount_;
    handled_.notify_all();
}

bool Journal::Write(JournalFile& file, std::vector<Entry>& batch) {
    if (lasting_) return false;
    Result<> outcome;
    if (!file.IsOpen()) {
        outcome = file.Open(options_.path, JournalFile::Mode::Write);
        if (outcome.ok()) outcome = file.BeginRun(options_.run, options_.now());
        if (!outcome.ok()) file.Close();
    }
    if (outcome.ok()) outcome = file.Append(batch);
    if (!outcome.ok()) {
        lasting_ = outcome.failure().lasting;
        const QString line = "Journal not written: " + outcome.error();
        if (line != said_) Say(line);
        said_ = line;
        return false;
    }
    if (!said_.isEmpty()) {
        std::uint64_t lost = 0;
        {
            std::lock_guard lock(mutex_);
            lost = dropped_ - droppedSaid_;
            droppedSaid_ = dropped_;
        }
        QString line = QStringLiteral("Journal written again: ") + options_.path;
        if (lost) line += QStringLiteral(", %1 records lost meanwhile").arg(lost);
        Say(line);
        said_.clear();
        if (lost) {
            const Entry note{options_.now(),
                             Kind::Program,
                             std::nullopt,
                             batch.back().source,
                             {},
                             line.toStdString(),
                             {}};
            (void)file.Append(std::span(&note, 1));
        }
    }
    Prune(file);
    return true;
}

void Journal::Prune(JournalFile& file) {
    const std::int64_t now = options_.now();
    if (lastPruneMs_ != 0 && now - lastPruneMs_ < kDayMs && now >= lastPruneMs_) return;
    lastPruneMs_ = now;
    const std::int64_t before = now - options_.retentionDays * kDayMs;
    // In steps, each its own transaction, so a panel that writes meanwhile never waits long.
    for (;;) {
        const Result<int> removed = file.Prune(before, kPruneStep);
        if (!removed.ok() || *removed < kPruneStep) return;
    }
}

}  // namespace vp::journal

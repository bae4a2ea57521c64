// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "journal/entry.h"
#include "journal/journal_file.h"

namespace vp::journal {

// The plant journal as the panel writes it: records are queued on the caller's thread in a
// moment, and a thread of the journal's own commits them in one transaction per 100 ms, so a
// slow disk or a lock held by another program never holds up the event loop. A kill loses at
// most the batch being gathered.
//
// A journal that cannot be opened or written says why once (Trouble) and the panel goes on;
// records wait (up to kQueueLimit) while trying again may help, and how many were lost is said
// when writing works again.
class Journal : public QObject {
    Q_OBJECT
public:
    static constexpr int kBatchMs = 100;
    static constexpr int kRetryMs = 5000;
    static constexpr std::size_t kQueueLimit = 100000;
    static constexpr int kPruneStep = 5000;
    static constexpr std::int64_t kDayMs = 24 * 3600 * 1000LL;

    struct Options {
        QString path;
        RunInfo run;
        int retentionDays = 400;
        std::function<std::int64_t()> now;  // UTC ms; the system's clock when empty
        int retryMs = kRetryMs;             // after a failure that may pass
    };
    explicit Journal(Options options, QObject* parent = nullptr);
    ~Journal() override;

    // Starts the writing thread and records the program's start.
    void Start();
    // Records the clean end, writes what is queued and stops the thread.
    void End();

    // The plant's prefix or the port, for every record from now on.
    void SetSource(std::string source);
    void Add(Kind kind, std::optional<int> code, std::string text, std::string control = {},
             std::string raw = {});
    // A record only when the word differs from the last one recorded.
    void Quality(const char* word);

    // Waits until everything queued so far is written or given up; false on timeout.
    bool Flush(int timeoutMs = 10000);

    const QString& path() const { return options_.path; }
    std::uint64_t Dropped() const;

signals:
    // One line for the operator: the journal cannot be written and why, or works again.
    void Trouble(const QString& line);

private:
    void Run();
    void Say(const QString& line);
    bool Write(JournalFile& file, std::vector<Entry>& batch);
    void Prune(JournalFile& file);

    Options options_;
    std::string source_;
    std::string quality_;
    bool started_ = false;
    bool ended_ = false;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable handled_;
    std::vector<Entry> queue_;
    std::uint64_t queuedCount_ = 0;   // records ever queued
    std::uint64_t handledCount_ = 0;  // written, or given up after a lasting failure
    std::uint64_t dropped_ = 0;       // not queued: the queue was full
    std::uint64_t droppedSaid_ = 0;
    bool stopping_ = false;
    bool hurry_ = false;
    std::thread worker_;

    // The writing thread's own.
    QString said_;
    bool lasting_ = false;
    std::int64_t lastPruneMs_ = 0;
};

// Where a program started in `folder` keeps its journal: beside the daily logs.
QString JournalPath(const QString& folder = {});

}  // namespace vp::journal

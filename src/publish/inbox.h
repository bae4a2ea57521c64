// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <vector>

namespace vp::publish {

// What the network thread received and the Qt thread has not taken yet. A retained topic keeps
// only its newest payload (a slow reader must not queue snapshots it will overwrite anyway);
// other messages, and retained topics, are kept in order up to a bound each and the rest counted,
// so a reader that falls behind costs bounded memory.
class Inbox {
public:
    struct Arrival {
        QByteArray topic;
        QByteArray payload;
    };

    explicit Inbox(int maxOthers) : maxOthers_(maxOthers) {}

    // True when the inbox was empty before: the reader has to be woken.
    bool Put(QByteArray topic, QByteArray payload, bool retained);
    std::vector<Arrival> TakeAll();
    // Messages not kept since the last call; a retained payload replaced by a newer one is not
    // lost and not counted here.
    int TakeDiscarded();
    long long Superseded() const { return superseded_; }

private:
    int maxOthers_;
    std::vector<Arrival> arrivals_;
    QHash<QByteArray, std::size_t> retainedAt_;  // a retained topic's place in arrivals_
    int others_ = 0;
    int discarded_ = 0;
    long long superseded_ = 0;
};

}  // namespace vp::publish

// SPDX-License-Identifier: MIT
#include "publish/inbox.h"

#include <utility>

namespace vp::publish {

bool Inbox::Put(QByteArray topic, QByteArray payload, bool retained) {
    const bool wasEmpty = arrivals_.empty();
    if (retained) {
        if (const auto it = retainedAt_.constFind(topic); it != retainedAt_.cend()) {
            arrivals_[*it].payload = std::move(payload);
            ++superseded_;
            return wasEmpty;
        }
        // Topics are the broker's to multiply: as many as other messages at most.
        if (retainedAt_.size() >= maxOthers_) {
            ++discarded_;
            return wasEmpty;
        }
        retainedAt_.insert(topic, arrivals_.size());
    } else if (others_ >= maxOthers_) {
        ++discarded_;
        return wasEmpty;
    } else {
        ++others_;
    }
    arrivals_.push_back({std::move(topic), std::move(payload)});
    return wasEmpty;
}

std::vector<Inbox::Arrival> Inbox::TakeAll() {
    retainedAt_.clear();
    others_ = 0;
    return std::exchange(arrivals_, {});
}

int Inbox::TakeDiscarded() {
    return std::exchange(discarded_, 0);
}

}  // namespace vp::publish

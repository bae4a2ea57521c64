// SPDX-License-Identifier: MIT
#include "publish/outbox.h"

#include <algorithm>

namespace vp::publish {

bool Outbox::Put(Message message) {
    if (message.retain) {
        auto it = std::find_if(retained_.begin(), retained_.end(),
                               [&](const Retained& r) { return r.message.topic == message.topic; });
        if (it == retained_.end()) {
            retained_.push_back({std::move(message), true});
        } else {
            it->message = std::move(message);
            it->due = true;
        }
        return true;
    }
    if (EventsHeld() >= maxEvents_) return false;
    events_.push_back(std::move(message));
    return true;
}

const Message* Outbox::Next() const {
    for (const Retained& r : retained_)
        if (r.due) return &r.message;
    return events_.empty() ? nullptr : &events_.front();
}

void Outbox::Sent(int mid) {
    for (Retained& r : retained_) {
        if (!r.due) continue;
        r.due = false;
        inFlight_[mid] = {sent_++, false, Message{r.message.topic, {}, r.message.qos, true}};
        return;
    }
    if (events_.empty()) return;
    inFlight_[mid] = {sent_++, true, std::move(events_.front())};
    events_.pop_front();
    ++inFlightEvents_;
}

void Outbox::Discard() {
    for (Retained& r : retained_) {
        if (r.due) {
            r.due = false;
            return;
        }
    }
    if (!events_.empty()) events_.pop_front();
}

std::optional<std::string> Outbox::Acknowledged(int mid) {
    const auto it = inFlight_.find(mid);
    if (it == inFlight_.end()) return std::nullopt;
    std::string topic = std::move(it->second.message.topic);
    if (it->second.event) --inFlightEvents_;
    inFlight_.erase(it);
    return topic;
}

void Outbox::Restart() {
    std::vector<Flight> again;
    for (auto& [mid, flight] : inFlight_)
        if (flight.event) again.push_back(std::move(flight));
    std::sort(again.begin(), again.end(),
              [](const Flight& a, const Flight& b) { return a.order < b.order; });
    for (auto it = again.rbegin(); it != again.rend(); ++it)
        events_.push_front(std::move(it->message));
    inFlight_.clear();
    inFlightEvents_ = 0;
    for (Retained& r : retained_) r.due = true;
}

}  // namespace vp::publish

// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "publish/message.h"

namespace vp::publish {

// What the client still owes the broker. A retained topic is a value, not a history: it keeps
// only its newest value, and after every (re)connect that value is due again, since a broker may
// have lost it. Events are a history: kept in order up to a bound, counted while in flight too,
// so that a broker that stopped acknowledging costs bounded memory.
class Outbox {
public:
    explicit Outbox(int maxEvents) : maxEvents_(maxEvents) {}

    // False: an event beyond the bound, not kept. A retained value always replaces the one before.
    bool Put(Message message);
    // The next message to send: every due retained value (in the order the topics first came),
    // then the events in order. Null when nothing is due.
    const Message* Next() const;
    // Next() was handed to the library under `mid`.
    void Sent(int mid);
    // Next() cannot be sent at all (too large for the broker, a bad topic): forgotten.
    void Discard();
    // The broker acknowledged `mid`: its topic, or nothing for a mid not ours.
    std::optional<std::string> Acknowledged(int mid);
    // A new connection: what was in flight on the old one is sent again (events in their order,
    // ahead of later ones), and every retained topic's newest value is due.
    void Restart();

    int InFlight() const { return int(inFlight_.size()); }
    int EventsHeld() const { return int(events_.size()) + inFlightEvents_; }
    bool Idle() const { return inFlight_.empty() && Next() == nullptr; }

private:
    struct Retained {
        Message message;
        bool due = true;
    };
    struct Flight {
        std::uint64_t order;
        bool event;
        Message message;  // an event's whole message; a retained value's topic only
    };

    int maxEvents_;
    std::vector<Retained> retained_;
    std::deque<Message> events_;
    std::map<int, Flight> inFlight_;
    int inFlightEvents_ = 0;
    std::uint64_t sent_ = 0;
};

}  // namespace vp::publish

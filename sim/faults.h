// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

#include "base/result.h"

namespace vp::sim {

// The faults the simulated controller can be asked for by name, one request at a time
// ("name" or "name=value"). This is the one list of them:
//
//   bad-checksum        the next reply carries a checksum one above the right one
//   error-report=CODE   the next reply becomes an error report of its kind with result
//                       code CODE (151..255)
//   warning=KIND        a warning message of KIND (220..236, result code 150) follows the
//                       next reply
//   wrong-length=N      the next reply is cut, or padded with '0', to N characters including
//                       its checksum (3..250); the checksum stays right for what is sent
//   noise               random bytes, carriage returns among them, go out just before the next
//                       reply; the noise ends in a carriage return so the reply itself is whole
//   split               the next reply, and whatever goes with it, is written in pieces of a
//                       few bytes with turns of the event loop between them
//   flood=N             N unsolicited status reports follow the next reply (1..1000)
//   silence=SECONDS     no replies for that much controller time (0..86400, fractions allowed);
//                       frames are still read and counted; 0 ends a silence
//   push=BITS           status reports go out unasked, back to back at the pace a line of BITS
//                       bit/s carries them (ten bits a byte; 1..10000000); 0 stops; replies to
//                       frames still go out between them
//   clear               forgets every pending fault, ends a silence and stops pushing
//
// One-shot faults wait for the next reply that is actually sent, and several of them may ride
// on the same reply; asking for one again replaces its value.
struct NextReplyFaults {
    bool bad_checksum = false;
    std::optional<int> error_code;
    std::optional<int> warning_kind;
    std::optional<int> length;
    bool noise = false;
    bool split = false;
    int flood = 0;

    bool Any() const {
        return bad_checksum || error_code || warning_kind || length || noise || split || flood > 0;
    }
};

class Faults {
public:
    // `now` is the controller's clock in seconds; it only matters for silence.
    Result<> Inject(QStringView request, double now);
    bool Silent(double now) const { return now < silent_until_; }
    int PushRate() const { return push_rate_; }
    const NextReplyFaults& Pending() const { return next_; }
    NextReplyFaults TakeNext();

    static QString Help();

private:
    NextReplyFaults next_;
    double silent_until_ = 0;
    int push_rate_ = 0;
};

}  // namespace vp::sim

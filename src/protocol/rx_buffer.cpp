// SPDX-License-Identifier: MIT
#include "protocol/rx_buffer.h"

namespace vp::protocol {

std::size_t RxBuffer::Append(std::string_view arrival, const Sink& sink) {
    std::size_t handed = 0;
    std::size_t cr = arrival.find('\r');
    if (cr == std::string_view::npos) {
        if (!skipping_) {
            if (pending_.size() + arrival.size() > kLimit) {
                // No controller line is this long: what is here is noise or a torn line. Drop it
                // and the rest of its line, but keep the messages that follow.
                pending_.clear();
                skipping_ = true;
            } else {
                pending_.append(arrival);
            }
        }
        return handed;
    }

    // The first line may have begun in an earlier arrival.
    {
        const bool tooLong = skipping_ || pending_.size() + cr + 1 > kLimit;
        std::string line;
        line.swap(pending_);
        skipping_ = false;
        if (!tooLong) {
            line.append(arrival.substr(0, cr));
            sink(line);
            ++handed;
        }
    }

    // Every further line lies wholly in this arrival and is handed over as a view into it.
    std::size_t start = cr + 1;
    while ((cr = arrival.find('\r', start)) != std::string_view::npos) {
        if (cr - start + 1 <= kLimit) {
            sink(arrival.substr(start, cr - start));
            ++handed;
        }
        start = cr + 1;
    }

    const std::string_view rest = arrival.substr(start);
    if (rest.size() > kLimit) {
        skipping_ = true;
    } else {
        pending_.assign(rest);
    }
    return handed;
}

}  // namespace vp::protocol

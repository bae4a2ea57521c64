// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vp::protocol {

// Collects what the port delivers and cuts it into messages at each carriage return, in order.
// Every complete line is handed over (without its CR) as long as the line with its CR is at most
// kLimit bytes; a longer line is dropped. Text after the last CR stays for the next arrival, and
// is dropped as soon as it passes kLimit bytes, so the buffer never holds more than kLimit bytes
// between calls; the rest of that line, up to its CR, is dropped with it, so what is handed over
// does not depend on how the port chunks the text. Bytes are 8-bit clean: every value 0..255
// passes unchanged.
class RxBuffer {
public:
    static constexpr std::size_t kLimit = 256;
    using Sink = std::function<void(std::string_view message)>;

    // Appends one arrival and calls sink once per complete message, in order of arrival.
    // Returns the number of messages handed over.
    std::size_t Append(std::string_view arrival, const Sink& sink);

    const std::string& Pending() const { return pending_; }

private:
    std::string pending_;
    bool skipping_ = false;  // inside a line already known to be too long
};

}  // namespace vp::protocol

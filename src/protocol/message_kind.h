// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace vp::protocol {

// What the dispatcher does with one received message, decided without a window.
struct Classification {
    enum class Action {
        ChecksumError,  // counted only
        ErrorReport,    // result code above 150: listed in the error list, counted
        ByKind,         // handed to the handler of its kind (or listed raw)
    };
    Action action;
    int kind;        // positions 1-3 read as a number; 0 when nothing readable
    int resultCode;  // byte value at position 5; 0 when the message is shorter than five bytes
};

Classification Classify(std::string_view message);

// True for a status report that will be shown: kind 111, a good checksum, no error code, and the
// report's exact length. Only such a report proves that the plant picture is fresh.
bool IsShownStatusReport(std::string_view message);

// Byte value at 1-based position pos, or 0 beyond the end of the message.
int CodeAt(std::string_view message, std::size_t pos);

// The part of the message at 1-based position pos and length len, cut at the end of the
// message ("" when the field lies wholly beyond it).
std::string_view FieldAt(std::string_view message, std::size_t pos, std::size_t len);

}  // namespace vp::protocol

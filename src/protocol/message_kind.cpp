// SPDX-License-Identifier: MIT
#include "protocol/message_kind.h"

#include <cmath>
#include <limits>

#include "protocol/codes.h"
#include "protocol/frame.h"
#include "protocol/status_report.h"
#include "text/number_reader.h"

namespace vp::protocol {

namespace {

constexpr std::size_t kResultCodePosition = 5;

// Three characters can still spell 9E9 (nine thousand million): clamp before converting, so no
// field overflows an int.
int ReadKind(std::string_view message) {
    const double value = text::RoundHalfEven(text::LeadingNumber(FieldAt(message, 1, 3)));
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

}  // namespace

int CodeAt(std::string_view message, std::size_t pos) {
    if (pos == 0 || pos > message.size()) return 0;
    return static_cast<unsigned char>(message[pos - 1]);
}

std::string_view FieldAt(std::string_view message, std::size_t pos, std::size_t len) {
    if (pos == 0 || pos > message.size()) return {};
    return message.substr(pos - 1, len);
}

Classification Classify(std::string_view message) {
    Classification result{Classification::Action::ByKind, ReadKind(message),
                          CodeAt(message, kResultCodePosition)};
    if (ChecksumMismatch(message)) {
        result.action = Classification::Action::ChecksumError;
    } else if (result.resultCode > ResultCode::Ok) {
        result.action = Classification::Action::ErrorReport;
    }
    return result;
}

bool IsShownStatusReport(std::string_view message) {
    if (message.size() != kStatusReportLength) return false;
    const Classification c = Classify(message);
    return c.action == Classification::Action::ByKind && c.kind == MessageKind::StatusReport;
}

}  // namespace vp::protocol

// SPDX-License-Identifier: MIT
#include "protocol/result_codes.h"

#include <array>
#include <utility>

#include "protocol/codes.h"

namespace vp::protocol {

namespace {

using namespace MessageKind;
using namespace ResultCode;

// Searched in this order; only Unknown has the catch-all text, every other code without a row
// has none.
constexpr std::array<std::pair<int, std::string_view>, 15> kResultTexts{{
    {Ok, "OK"},
    {BadSize, "bad size"},
    {BadOperator, "bad operator"},
    {CrcError, "crc error"},
    {NotImplemented, "operation not implemented"},
    {NotAllowed, "operation not allowed"},
    {IcpconNoResponse, "no response from icpcon"},
    {IcpconWrongSize, "wrong size response from icpcon"},
    {IcpconBadFormat, "bad format response from icpcon"},
    {IcpconBadCrc, "bad crc in response from icpcon"},
    {PfeifferNoResponse, "no response from pfeiffer"},
    {PfeifferWrongSize, "wrong size response from pfeiffer"},
    {PfeifferBadFormat, "bad format response from pfeiffer"},
    {PfeifferBadCrc, "bad crc in response from pfeiffer"},
    {Unknown, "Unknown error code"},
}};

// Every warning kind in order, 220 onward without a gap, so a kind indexes its row. The last three
// texts drop the "ERR_" of their names, as the controller's operators have always seen them.
constexpr std::array<std::pair<int, std::string_view>, 17> kWarningTexts{{
    {OP_ERR_PNEUMATIC_PRESSURE, " (OP_ERR_PNEUMATIC_PRESSURE)"},
    {OP_ERR_TMP_COOLING, " (OP_ERR_TMP_COOLING)"},
    {OP_ERR_VALVE_1V1, " (OP_ERR_VALVE_1V1)"},
    {OP_ERR_VALVE_2V1, " (OP_ERR_VALVE_2V1)"},
    {OP_ERR_VALVE_1V3, " (OP_ERR_VALVE_1V3)"},
    {OP_ERR_VALVE_1V2, " (OP_ERR_VALVE_1V2)"},
    {OP_ERR_VALVE_2V2, " (OP_ERR_VALVE_2V2)"},
    {OP_ERR_VALVE_1V4, " (OP_ERR_VALVE_1V4)"},
    {OP_ERR_VALVE_3V1, " (OP_ERR_VALVE_3V1)"},
    {OP_ERR_VALVE_2V3, " (OP_ERR_VALVE_2V3)"},
    {OP_ERR_PUMP_TMP1, " (OP_ERR_PUMP_TMP1)"},
    {OP_ERR_PUMP_TMP2, " (OP_ERR_PUMP_TMP2)"},
    {OP_ERR_ICPCON_BUS, " (OP_ERR_ICPCON_BUS)"},
    {OP_ERR_PFEIFFER_BUS, " (OP_ERR_PFEIFFER_BUS)"},
    {OP_ERR_MANUAL_INTERVENTION_NEEDED, " (OP_MANUAL_INTERVENTION_NEEDED)"},
    {OP_ERR_ROTARY_PUMP_TRIP, " (OP_ROTARY_PUMP_TRIP)"},
    {OP_ERR_ROTARY_PUMP_COOLING, " (OP_ROTARY_PUMP_COOLING)"},
}};
constexpr int kFirstWarning = kWarningTexts.front().first;

constexpr bool InKindOrder() {
    for (std::size_t i = 0; i < kWarningTexts.size(); ++i)
        if (kWarningTexts[i].first != kFirstWarning + static_cast<int>(i)) return false;
    return true;
}
static_assert(InKindOrder());

}  // namespace

std::string_view ResultText(int code) {
    for (const auto& [value, text] : kResultTexts) {
        if (value == code) return text;
    }
    return {};
}

bool IsWarningKind(int kind) {
    return kind >= kFirstWarning && kind < kFirstWarning + static_cast<int>(kWarningTexts.size());
}

std::string_view WarningText(int kind) {
    if (!IsWarningKind(kind)) return {};
    return kWarningTexts[static_cast<std::size_t>(kind - kFirstWarning)].second;
}

}  // namespace vp::protocol

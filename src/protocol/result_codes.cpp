#include "protocol/result_codes.h"

#include <array>
#include <utility>

namespace vp::protocol {

namespace {

// Searched in this order; only 0 has the catch-all text, every other unknown code has none.
constexpr std::array<std::pair<int, std::string_view>, 15> kResultTexts{{
    {150, "OK"},
    {152, "bad size"},
    {154, "bad operator"},
    {155, "crc error"},
    {156, "operation not implemented"},
    {157, "operation not allowed"},
    {170, "no response from icpcon"},
    {171, "wrong size response from icpcon"},
    {172, "bad format response from icpcon"},
    {173, "bad crc in response from icpcon"},
    {180, "no response from pfeiffer"},
    {181, "wrong size response from pfeiffer"},
    {182, "bad format response from pfeiffer"},
    {183, "bad crc in response from pfeiffer"},
    {0, "Unknown error code"},
}};

constexpr int kFirstWarning = 220;

// Kinds 220..236 in order. The last three drop the "ERR_" of their names, as the controller's
// operators have always seen them.
constexpr std::array<std::string_view, 17> kWarningTexts{
    " (OP_ERR_PNEUMATIC_PRESSURE)", " (OP_ERR_TMP_COOLING)",     " (OP_ERR_VALVE_1V1)",
    " (OP_ERR_VALVE_2V1)",          " (OP_ERR_VALVE_1V3)",       " (OP_ERR_VALVE_1V2)",
    " (OP_ERR_VALVE_2V2)",          " (OP_ERR_VALVE_1V4)",       " (OP_ERR_VALVE_3V1)",
    " (OP_ERR_VALVE_2V3)",          " (OP_ERR_PUMP_TMP1)",       " (OP_ERR_PUMP_TMP2)",
    " (OP_ERR_ICPCON_BUS)",         " (OP_ERR_PFEIFFER_BUS)",    " (OP_MANUAL_INTERVENTION_NEEDED)",
    " (OP_ROTARY_PUMP_TRIP)",       " (OP_ROTARY_PUMP_COOLING)",
};

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
    return kWarningTexts[static_cast<std::size_t>(kind - kFirstWarning)];
}

}  // namespace vp::protocol

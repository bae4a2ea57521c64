// SPDX-License-Identifier: MIT
#include "journal/command_meanings.h"

#include "text/number_reader.h"

namespace vp::journal {

namespace {

struct Meaning {
    int number;
    const char* text;
};

// The controller's command catalogue in the operator's words.
constexpr Meaning kMeanings[] = {
    {34, "TMP speed set-point"},
    {36, "glow discharge speed set-point"},
    {37, "high vacuum speed set-point"},
    {39, "reset TMP error counts"},
    {60, "3V1 open"},
    {61, "3V1 close"},
    {62, "1V1 open"},
    {63, "1V1 close"},
    {64, "2V1 open"},
    {65, "2V1 close"},
    {66, "1V3 open"},
    {67, "1V3 close"},
    {80, "TMP1 on"},
    {81, "TMP1 off"},
    {82, "TMP2 on"},
    {83, "TMP2 off"},
    {84, "chiller start"},
    {85, "chiller stop"},
    {91, "reset gauge error counts"},
    {93, "reset icpcon error counts"},
    {100, "1G1 degas"},
    {101, "TG1 degas"},
    {102, "2G1 sensor off"},
    {103, "TG1 filament off"},
    {104, "1G1 filament off"},
    {105, "2G1 sensor on"},
    {106, "TG1 filament on"},
    {107, "1G1 filament on"},
    {109, "rotary pump on"},
    {110, "rotary pump off"},
    {120, "mode Idle"},
    {121, "mode High vacuum"},
    {122, "mode Primary vacuum"},
    {123, "mode Unsafe"},
    {124, "mode Stop"},
    {125, "mode Glow discharge"},
    {130, "Branch 1 activate"},
    {131, "Branch 2 activate"},
    {132, "Branch 1 deactivate"},
    {133, "Branch 2 deactivate"},
};

}  // namespace

std::string CommandMeaning(std::string_view body) {
    const int number = static_cast<int>(text::LeadingNumber(body.substr(0, 3)));
    const std::string_view argument = body.size() > 4 ? body.substr(4) : std::string_view{};
    for (const Meaning& meaning : kMeanings) {
        if (meaning.number != number) continue;
        std::string text = meaning.text;
        if (!argument.empty()) {
            // Appended piece by piece: gcc 12 at -O3 takes " " + to_string(...) for an overlap.
            text += ' ';
            text += std::to_string(static_cast<int>(text::LeadingNumber(argument)));
            text += " %";
        }
        return text;
    }
    return "command " + std::string(body.substr(0, 3));
}

}  // namespace vp::journal

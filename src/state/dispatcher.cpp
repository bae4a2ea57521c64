// SPDX-License-Identifier: MIT
#include "state/dispatcher.h"

#include <string>

#include "protocol/codes.h"
#include "protocol/message_kind.h"
#include "protocol/result_codes.h"
#include "state/panel_state.h"
#include "state/plant_status.h"
#include "text/number_reader.h"
#include "text/number_text.h"

namespace vp::state {

namespace {

using protocol::FieldAt;

// A counter field as the controller sent it, rounded to whole counts.
double Count(std::string_view message, std::size_t pos) {
    return text::RoundHalfEven(text::LeadingNumber(FieldAt(message, pos, 5)));
}

struct CountRow {
    Text label;
    std::string_view prefix;
    std::size_t pos;
};

// Error counts by kind: where each count stands in its message and which label shows it.
const CountRow kTmpCounts[] = {
    {Text::lblTMP1Errors, "TMP1 errors: ", 6},
    {Text::lblTMP2Errors, "TMP2 errors: ", 11},
};
const CountRow kGaugeCounts[] = {
    {Text::lblTG1Errors, "TG1 errors: ", 6},
    {Text::lbl1G1Errors, "1G1 errors: ", 11},
    {Text::lbl2G1Errors, "2G1 errors: ", 16},
    {Text::lbl1G3Errors, "1G3 errors: ", 21},
};
const CountRow kIcpconCounts[] = {
    {Text::lblIcpcon1Errors, "Icpcon 1 errors: ", 6},
    {Text::lblIcpcon2Errors, "Icpcon 2 errors: ", 11},
    {Text::lblIcpcon3Errors, "Icpcon 3 errors: ", 16},
    {Text::lblIcpcon4Errors, "Icpcon 4 errors: ", 21},
    {Text::lblIcpcon5Errors, "Icpcon 5 errors: ", 26},
};

template <std::size_t N>
void ShowCounts(PanelState& state, const CountRow (&rows)[N],
                std::array<std::optional<double>, N> PlantFacts::*facts, std::string_view message) {
    std::array<std::optional<double>, N> counts;
    for (std::size_t i = 0; i < N; ++i) {
        counts[i] = Count(message, rows[i].pos);
        state.SetCaption(rows[i].label,
                         std::string(rows[i].prefix) + text::PlainNumber(*counts[i]));
    }
    state.UpdatePlant([&](PlantFacts& plant) { plant.*facts = counts; });
}

void ListErrorReport(PanelState& state, int code) {
    state.InsertTop(List::lstErrors,
                    text::PlainNumber(code) + " (" + std::string(protocol::ResultText(code)) + ")");
    state.CountOperationError();
    state.SetCaption(Text::lblOperationErrors,
                     text::PlainNumber(state.OperationErrors()) + " operation errors");
}

void OperatingHours(PanelState& state, std::string_view message, int code) {
    if (code == protocol::ResultCode::Ok) {
        const auto hours = [&](std::size_t pos) {
            return text::HashPattern(text::LeadingNumber(FieldAt(message, pos, 6)));
        };
        state.SetCaption(Text::lblTMP1OperatingHours, "TMP1: " + hours(6) + " hours");
        state.SetCaption(Text::lblTMP2OperatingHours, "TMP2: " + hours(12) + " hours");
        state.SetFill(Fill::shpTMP1OperatingHours, kWhite);
        state.SetFill(Fill::shpTMP2OperatingHours, kWhite);
        state.UpdatePlant([&](PlantFacts& plant) {
            plant.tmpHours = {text::LeadingNumber(FieldAt(message, 6, 6)),
                              text::LeadingNumber(FieldAt(message, 12, 6))};
            plant.hoursFailed = false;
        });
    } else {
        state.SetCaption(Text::lblTMP1OperatingHours, "TMP1: ------");
        state.SetFill(Fill::shpTMP1OperatingHours, kRed);
        state.SetCaption(Text::lblTMP2OperatingHours, "TMP2: ------");
        state.SetFill(Fill::shpTMP2OperatingHours, kRed);
        state.UpdatePlant([](PlantFacts& plant) {
            plant.tmpHours = {};
            plant.hoursFailed = true;
        });
    }
}

}  // namespace

std::optional<List> HandleMessage(PanelState& state, std::string_view message) {
    using protocol::Classification;
    const Classification c = protocol::Classify(message);
    switch (c.action) {
        case Classification::Action::ChecksumError:
            state.CountCrcError();
            state.SetCaption(Text::lblCrcErrors,
                             text::SignPositionNumber(state.CrcErrors()) + " received crc errors");
            return std::nullopt;
        case Classification::Action::ErrorReport:
            ListErrorReport(state, c.resultCode);
            return List::lstErrors;
        case Classification::Action::ByKind:
            break;
    }

    switch (c.kind) {
        case protocol::MessageKind::TmpErrorCounts:
            ShowCounts(state, kTmpCounts, &PlantFacts::tmpErrors, message);
            break;
        case protocol::MessageKind::TmpOperatingHours:
            OperatingHours(state, message, c.resultCode);
            break;
        case protocol::MessageKind::GaugeErrorCounts:
            ShowCounts(state, kGaugeCounts, &PlantFacts::gaugeErrors, message);
            break;
        case protocol::MessageKind::IcpconErrorCounts:
            ShowCounts(state, kIcpconCounts, &PlantFacts::icpconErrors, message);
            break;
        case protocol::MessageKind::StatusReport:
            DecodeStatus(state, message);
            break;
        default:
            if (protocol::IsWarningKind(c.kind)) {
                state.InsertTop(List::lstWarnings, text::SignPositionNumber(c.kind) +
                                                       std::string(protocol::WarningText(c.kind)));
                return List::lstWarnings;
            }
            state.InsertTop(List::lstMessages, std::string(message));
            return List::lstMessages;
    }
    return std::nullopt;
}

void ClearErrors(PanelState& state) {
    for (List list : {List::lstErrors, List::lstWarnings, List::lstMessages}) state.ClearList(list);
    state.SetCaption(Text::lblOperationErrors, "");
    state.ClearOperationErrors();
}

}  // namespace vp::state

#include "messages/dispatcher.h"

#include "link/polls.h"
#include "messages/message_kind.h"
#include "messages/result_codes.h"
#include "panel/form1.h"
#include "status/plant_display.h"
#include "text/number_reader.h"
#include "text/number_text.h"

namespace vp::messages {

namespace {

using panel::Form1;
using panel::Label;

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
QString Latin1(const std::string& text) { return Latin1(std::string_view(text)); }

// A counter field shown as the controller sent it, in plain decimal.
QString Count(std::string_view message, std::size_t pos) {
    return Latin1(text::PlainNumber(text::RoundHalfEven(text::LeadingNumber(FieldAt(message, pos, 5)))));
}

struct CountRow {
    Label* Form1::*label;
    const char* prefix;
    std::size_t pos;
};

// Error counts by kind: where each count stands in its message and which label shows it.
const CountRow kTmpCounts[] = {
    {&Form1::lblTMP1Errors, "TMP1 errors: ", 6},
    {&Form1::lblTMP2Errors, "TMP2 errors: ", 11},
};
const CountRow kGaugeCounts[] = {
    {&Form1::lblTG1Errors, "TG1 errors: ", 6},
    {&Form1::lbl1G1Errors, "1G1 errors: ", 11},
    {&Form1::lbl2G1Errors, "2G1 errors: ", 16},
    {&Form1::lbl1G3Errors, "1G3 errors: ", 21},
};
const CountRow kIcpconCounts[] = {
    {&Form1::lblIcpcon1Errors, "Icpcon 1 errors: ", 6},
    {&Form1::lblIcpcon2Errors, "Icpcon 2 errors: ", 11},
    {&Form1::lblIcpcon3Errors, "Icpcon 3 errors: ", 16},
    {&Form1::lblIcpcon4Errors, "Icpcon 4 errors: ", 21},
    {&Form1::lblIcpcon5Errors, "Icpcon 5 errors: ", 26},
};

template <std::size_t N>
void ShowCounts(Form1& form, const CountRow (&rows)[N], std::string_view message) {
    for (const CountRow& row : rows)
        (form.*row.label)->SetCaption(QString::fromLatin1(row.prefix) + Count(message, row.pos));
}

}  // namespace

Dispatcher::Dispatcher(panel::Form1& form, status::PlantDisplay& display, link::Polls& polls)
    : form_(form), display_(display), polls_(polls) {}

void Dispatcher::HandleMessage(std::string_view message) {
    const Classification c = Classify(message);
    switch (c.action) {
        case Classification::Action::ChecksumError:
            crcErrors_.Increment();
            form_.lblCrcErrors->SetCaption(Latin1(text::SignPositionNumber(crcErrors_.value())) +
                                           " received crc errors");
            return;
        case Classification::Action::ErrorReport:
            ListErrorReport(c.resultCode);
            // Trimmed here too: a controller answering every poll with an error report would
            // otherwise grow the list by ten entries a second.
            TrimLists();
            return;
        case Classification::Action::ByKind:
            break;
    }

    switch (c.kind) {
        case 38:
            ShowCounts(form_, kTmpCounts, message);
            break;
        case 40:
            OperatingHours(message, c.resultCode);
            break;
        case 90:
            ShowCounts(form_, kGaugeCounts, message);
            break;
        case 92:
            ShowCounts(form_, kIcpconCounts, message);
            break;
        case 111:
            // Only a report that was shown counts as seen: one of the wrong length changes
            // nothing, so it must not hold off the grey of stale states.
            if (display_.DecodeStatus(message)) polls_.MarkStatusSeen();
            break;
        default:
            if (IsWarningKind(c.kind)) {
                form_.lstWarnings->insertItem(
                    0, Latin1(text::SignPositionNumber(c.kind)) + Latin1(WarningText(c.kind)));
            } else {
                form_.lstMessages->insertItem(0, Latin1(message));
            }
            break;
    }
    TrimLists();
}

void Dispatcher::ListErrorReport(int code) {
    form_.lstErrors->insertItem(
        0, Latin1(text::PlainNumber(code)) + " (" + Latin1(ResultText(code)) + ")");
    operationErrors_.Increment();
    form_.lblOperationErrors->SetCaption(Latin1(text::PlainNumber(operationErrors_.value())) +
                                         " operation errors");
}

void Dispatcher::OperatingHours(std::string_view message, int code) {
    if (code == 150) {
        const auto hours = [&](std::size_t pos) {
            return Latin1(text::HashPattern(text::LeadingNumber(FieldAt(message, pos, 6))));
        };
        form_.lblTMP1OperatingHours->SetCaption("TMP1: " + hours(6) + " hours");
        form_.lblTMP2OperatingHours->SetCaption("TMP2: " + hours(12) + " hours");
        form_.shpTMP1OperatingHours->SetFillColor(panel::kWhite);
        form_.shpTMP2OperatingHours->SetFillColor(panel::kWhite);
    } else {
        form_.lblTMP1OperatingHours->SetCaption(QStringLiteral("TMP1: ------"));
        form_.shpTMP1OperatingHours->SetFillColor(panel::kRed);
        form_.lblTMP2OperatingHours->SetCaption(QStringLiteral("TMP2: ------"));
        form_.shpTMP2OperatingHours->SetFillColor(panel::kRed);
    }
}

void Dispatcher::TrimLists() {
    for (auto* list : {form_.lstErrors, form_.lstWarnings, form_.lstMessages})
        while (list->count() > kListLength) delete list->takeItem(list->count() - 1);
}

void Dispatcher::cmdClearError_Click() {
    form_.lstErrors->clear();
    form_.lstWarnings->clear();
    form_.lstMessages->clear();
    form_.lblOperationErrors->SetCaption(QString());
    operationErrors_.Reset();
}

}  // namespace vp::messages

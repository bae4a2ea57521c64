// SPDX-License-Identifier: MIT
#include "state/panel_state.h"

#include <QString>

namespace vp::state {

namespace {
#define VP_NAME(name) #name,
constexpr const char* kFillNames[] = {VP_FILLS(VP_NAME)};
constexpr const char* kTextNames[] = {VP_TEXTS(VP_NAME)};
constexpr const char* kListNames[] = {VP_LISTS(VP_NAME)};
#undef VP_NAME
}  // namespace

const char* Name(Fill id) {
    return kFillNames[static_cast<std::size_t>(id)];
}
const char* Name(Text id) {
    return kTextNames[static_cast<std::size_t>(id)];
}
const char* Name(List id) {
    return kListNames[static_cast<std::size_t>(id)];
}

void PanelState::Announce() {
    if (announced_) return;
    announced_ = true;
    emit Changed();
}

void PanelState::NoteFacts() {
    ++revision_;
    Announce();
}

void PanelState::Count(protocol::Counter& counter) {
    const std::int32_t before = counter.value();
    counter.Increment();
    if (counter.value() != before) NoteFacts();  // at the top it stays, and that is no news
}

void PanelState::CountCrcError() {
    Count(crcErrors_);
}

void PanelState::CountOperationError() {
    Count(operationErrors_);
}

void PanelState::CountShownReport() {
    Count(shownReports_);
}

void PanelState::ClearOperationErrors() {
    if (operationErrors_.value() == 0) return;
    operationErrors_.Reset();
    NoteFacts();
}

void PanelState::TakeReport(protocol::StatusReport report, std::int64_t utcMs) {
    bool news = false;
    if (plant_.report != report) {
        plant_.report = std::move(report);
        news = true;
    }
    if (plant_.reportUtcMs != utcMs) {
        plant_.reportUtcMs = utcMs;
        news = true;
    }
    if (link_.stale || !link_.reported) {
        link_.stale = false;
        link_.reported = true;
        news = true;
    }
    if (news) NoteFacts();
}

void PanelState::SetLastPressure(std::size_t gauge, std::string_view text) {
    std::string& last = lastPressures_[gauge];
    if (last == text) return;
    last.assign(text);
    NoteFacts();
}

void PanelState::ClearLastPressures() {
    for (std::size_t gauge = 0; gauge < kGaugeCount; ++gauge) SetLastPressure(gauge, {});
}

void PanelState::SetFill(Fill id, ColourValue value) {
    auto& slot = fills_[Index(id)];
    if (slot.revision != 0 && slot.value == value) return;
    slot.value = value;
    slot.revision = ++revision_;
    Announce();
}

void PanelState::SetCaption(Text id, std::string_view text) {
    auto& slot = texts_[Index(id)];
    auto& notice = notices_[Index(id)];
    if (slot.revision != 0 && !notice && slot.value == text) return;
    notice.reset();
    slot.value.assign(text);
    slot.revision = ++revision_;
    Announce();
}

void PanelState::SetNotice(Text id, std::string_view utf8) {
    auto& slot = texts_[Index(id)];
    auto& notice = notices_[Index(id)];
    if (slot.revision != 0 && notice == utf8) return;
    notice.emplace(utf8);
    slot.value = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))
                     .toLatin1()
                     .toStdString();
    slot.revision = ++revision_;
    Announce();
}

void PanelState::InsertTop(List id, std::string entry) {
    auto& slot = lists_[Index(id)];
    slot.value.push_front(std::move(entry));
    ++inserted_[Index(id)];
    while (slot.value.size() > kListLength) slot.value.pop_back();
    slot.revision = ++revision_;
    Announce();
}

void PanelState::ClearList(List id) {
    auto& slot = lists_[Index(id)];
    if (slot.revision != 0 && slot.value.empty()) return;
    slot.value.clear();
    slot.revision = ++revision_;
    Announce();
}

}  // namespace vp::state

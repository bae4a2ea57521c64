// SPDX-License-Identifier: MIT
#include "panel/view.h"

#include <QListWidget>
#include <QScrollBar>

#include "panel/controls.h"

namespace vp::panel {

namespace {
QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// How many of the entries are new on top of those the list shows: the fewest that leave the rest
// equal to the list's first rows. The state's count of arrivals is tried first, since the same
// report may stand several times in a row; a list replaced whole (a view's) is matched anyway.
qsizetype Arrived(const QListWidget& list, const QStringList& entries, std::uint64_t counted) {
    const auto keeps = [&](qsizetype arrived) {
        if (entries.size() - arrived > list.count()) return false;
        for (qsizetype row = 0; row + arrived < entries.size(); ++row)
            if (list.item(static_cast<int>(row))->text() != entries[row + arrived]) return false;
        return true;
    };
    if (counted < static_cast<std::uint64_t>(entries.size()) &&
        keeps(static_cast<qsizetype>(counted)))
        return static_cast<qsizetype>(counted);
    qsizetype arrived = 0;
    while (arrived < entries.size() && !keeps(arrived)) ++arrived;
    return arrived;
}

template <typename T, typename Id>
T* Find(const QWidget& window, Id id) {
    return window.findChild<T*>(QString::fromLatin1(state::Name(id)));
}
}  // namespace

View::View(state::PanelState& state, const SteadyClock* clock, QObject* parent)
    : QObject(parent), state_(state), clock_(clock ? *clock : systemClock_) {
    pending_.setSingleShot(true);
    connect(&pending_, &QTimer::timeout, this, &View::FrameDue);
    connect(&state_, &state::PanelState::Changed, this, &View::Schedule);
}

void View::Bind(const QWidget& window) {
    for (std::size_t i = 0; i < state::kFillCount; ++i)
        shapes_[i] = Find<Shape>(window, static_cast<state::Fill>(i));
    for (std::size_t i = 0; i < state::kTextCount; ++i) {
        const auto id = static_cast<state::Text>(i);
        labels_[i] = Find<Label>(window, id);
        if (!labels_[i]) boxes_[i] = Find<TextBox>(window, id);
    }
    for (std::size_t i = 0; i < state::kListCount; ++i)
        lists_[i] = Find<QListWidget>(window, static_cast<state::List>(i));
}

void View::Schedule() {
    if (due_) return;
    using std::chrono::milliseconds;
    const milliseconds now = clock_.Now();
    const milliseconds frame{kFramePeriodMs};
    const milliseconds since = renderedAt_ ? now - *renderedAt_ : frame;
    gathering_ = since >= frame;
    due_ = now + std::max(milliseconds{kGatherMs}, frame - since);
    pending_.start(*due_ - now);
}

void View::FrameDue() {
    if (!due_) return;
    // A timer may wake a little early; the frame's pace is the clock's.
    if (const auto now = clock_.Now(); now < *due_) {
        pending_.start(*due_ - now);
        return;
    }
    Render();
}

void View::LineAnswered() {
    // Asked once an arrival, so it reads no clock: only a wait begun a frame after the last
    // render ends early.
    if (gathering_) Render();
}

void View::Render() {
    pending_.stop();
    due_.reset();
    gathering_ = false;
    const std::uint64_t seen = rendered_;
    for (std::size_t i = 0; i < state::kFillCount; ++i) {
        const auto id = static_cast<state::Fill>(i);
        if (state_.RevisionOf(id) > seen && shapes_[i]) shapes_[i]->SetFillColor(state_.FillOf(id));
    }
    for (std::size_t i = 0; i < state::kTextCount; ++i) {
        const auto id = static_cast<state::Text>(i);
        if (state_.RevisionOf(id) <= seen) continue;
        const std::string* notice = state_.Notice(id);
        const QString text = notice ? QString::fromStdString(*notice) : Latin1(state_.Caption(id));
        if (labels_[i]) {
            labels_[i]->SetCaption(text);
        } else if (TextBox* box = boxes_[i]; box && box->text() != text) {
            // A line edit repaints on any setText, the same text too.
            box->setText(text);
            // A line edit scrolls to the end of what it is given; the operator reads a message
            // from its start, and the whole of a long one stays at hand as the tool tip.
            box->setCursorPosition(0);
            box->setToolTip(text);
        }
    }
    for (std::size_t i = 0; i < state::kListCount; ++i) {
        const auto id = static_cast<state::List>(i);
        if (state_.RevisionOf(id) <= seen || !lists_[i]) continue;
        RenderList(*lists_[i], id, i);
    }
    rendered_ = state_.Revision();
    state_.CaughtUp();
    renderedAt_ = clock_.Now();
    ++renders_;
}

// Entries arrive on top and the oldest fall off the bottom; the rows in between stay the same
// items, so the operator's selection stays on the entry it was made on while that is in the list,
// and a list scrolled to read an entry keeps it in sight. Rebuilding would lose both.
void View::RenderList(QListWidget& list, state::List id, std::size_t index) {
    QStringList entries;
    for (const std::string& entry : state_.Entries(id)) entries.append(Latin1(entry));
    const qsizetype arrived = Arrived(list, entries, state_.Inserted(id) - inserted_[index]);
    inserted_[index] = state_.Inserted(id);
    const int kept = static_cast<int>(entries.size() - arrived);
    if (arrived == 0 && kept == list.count()) return;
    QScrollBar& scroll = *list.verticalScrollBar();
    const int position = scroll.value();
    bool selectionGone = false;
    for (int row = kept; row < list.count(); ++row)
        selectionGone = selectionGone || list.item(row)->isSelected();
    if (kept < list.count()) list.model()->removeRows(kept, list.count() - kept);
    // Qt would select a neighbour of the entry that went: the operator did not choose it.
    if (selectionGone) list.selectionModel()->clear();
    list.insertItems(0, entries.first(arrived));
    // At the top the newest entry shows; scrolled down, the rows in sight stay in sight.
    if (position > 0 && kept > 0) {
        list.doItemsLayout();
        const bool byRow = list.verticalScrollMode() == QAbstractItemView::ScrollPerItem;
        scroll.setValue(position +
                        static_cast<int>(arrived) * (byRow ? 1 : list.sizeHintForRow(0)));
    }
}

}  // namespace vp::panel

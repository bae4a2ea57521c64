#include "panel/view.h"

#include <QListWidget>

#include "panel/controls.h"

namespace vp::panel {

namespace {
QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename T, typename Id>
T* Find(const QWidget& window, Id id) {
    return window.findChild<T*>(QString::fromLatin1(state::Name(id)));
}
}  // namespace

View::View(state::PanelState& state, QObject* parent) : QObject(parent), state_(state) {
    pending_.setSingleShot(true);
    connect(&pending_, &QTimer::timeout, this, &View::Render);
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
    if (pending_.isActive()) return;
    const qint64 since = sinceRender_.isValid() ? sinceRender_.elapsed() : kFramePeriodMs;
    gathering_ = since >= kFramePeriodMs;
    pending_.start(static_cast<int>(std::max<qint64>(kGatherMs, kFramePeriodMs - since)));
}

void View::LineAnswered() {
    // Asked once an arrival, so it reads no clock: only a wait begun a frame after the last
    // render ends early.
    if (gathering_) Render();
}

void View::Render() {
    pending_.stop();
    gathering_ = false;
    const std::uint64_t seen = rendered_;
    for (std::size_t i = 0; i < state::kFillCount; ++i) {
        const auto id = static_cast<state::Fill>(i);
        if (state_.RevisionOf(id) > seen && shapes_[i]) shapes_[i]->SetFillColor(state_.FillOf(id));
    }
    for (std::size_t i = 0; i < state::kTextCount; ++i) {
        const auto id = static_cast<state::Text>(i);
        if (state_.RevisionOf(id) <= seen) continue;
        const QString text = Latin1(state_.Caption(id));
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
        QStringList entries;
        for (const std::string& entry : state_.Entries(id)) entries.append(Latin1(entry));
        lists_[i]->clear();
        lists_[i]->addItems(entries);
    }
    rendered_ = state_.Revision();
    state_.CaughtUp();
    sinceRender_.start();
    ++renders_;
}

}  // namespace vp::panel

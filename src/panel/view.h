// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "base/steady_clock.h"
#include "state/panel_state.h"

class QListWidget;
class QWidget;

namespace vp::panel {

class Label;
class Shape;
class TextBox;

// Shows the panel's state on the window's controls, at screen pace: a change schedules one
// render, renders stand at least a frame apart, nothing is drawn when nothing changed, and the
// newest values always show once the line goes quiet. Only what changed since the last render is
// written, and each control is written with the value it holds, never per message.
//
// A first change after a quiet spell waits a moment for the rest of its exchange: a poll goes
// out, the lamps switch, the answer comes back. On a fast line that is one picture, not a picture
// of the receive lamp out for the fraction of a millisecond before the answer relights it, held
// on screen for a whole frame. Messages from the line end the wait.
//
// The pace is read from a clock, the system's unless one is given; the frame timer only wakes
// the view, which renders once the clock says the time has come.
class View : public QObject {
    Q_OBJECT
public:
    // About 30 renders a second: more than a person can read, far fewer than reports at full rate.
    static constexpr int kFramePeriodMs = 33;
    // Well under a frame; an answer at 9600 bit/s takes 85 ms and is drawn on its own.
    static constexpr int kGatherMs = 10;

    // The clock must outlive the view; the system's when null.
    explicit View(state::PanelState& state, const SteadyClock* clock = nullptr,
                  QObject* parent = nullptr);

    // Finds the controls by their names under the window; call once, after they exist.
    void Bind(const QWidget& window);

    // Writes every control changed since the last render.
    void Render();
    std::uint64_t Renders() const { return renders_; }

    // Messages arrived: what waits for its answer is drawn now, once a frame has passed.
    void LineAnswered();

    // The frame timer's handler: renders what waits if its time has come by the clock, and
    // otherwise sets its timer for the rest of the wait.
    void FrameDue();

private:
    void Schedule();
    void RenderList(QListWidget& list, state::List id, std::size_t index);

    state::PanelState& state_;
    SystemSteadyClock systemClock_;
    const SteadyClock& clock_;
    std::array<Shape*, state::kFillCount> shapes_{};
    std::array<Label*, state::kTextCount> labels_{};
    std::array<TextBox*, state::kTextCount> boxes_{};
    std::array<QListWidget*, state::kListCount> lists_{};
    std::array<std::uint64_t, state::kListCount> inserted_{};  // the state's arrivals drawn
    std::uint64_t rendered_ = 0;  // the state's revision at the last render
    std::uint64_t renders_ = 0;
    QTimer pending_;
    std::optional<std::chrono::milliseconds> due_;  // when the pending render is drawn
    bool gathering_ = false;  // the pending render waits for the rest of an exchange
    std::optional<std::chrono::milliseconds> renderedAt_;
};

}  // namespace vp::panel

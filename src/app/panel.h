#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "base/steady_clock.h"
#include "link/link.h"
#include "logging/clock.h"
#include "logging/pressure_log.h"
#include "record/traffic_recorder.h"
#include "state/link_display.h"
#include "state/panel_state.h"

namespace vp::panel {
class Form1;
}

namespace vp::app {

// The whole panel, wired: the link signals what happened, the state takes it in, the window
// shows the state and hands the operator's wishes to the link, and the log reads the state.
// This is the one place that knows all the parts.
class Panel : public QObject {
    Q_OBJECT
public:
    struct Options {
        link::PortNames ports{};
        const logging::Clock* clock = nullptr;  // the system's when null
        bool window = true;
        QString logFolder{};  // the daily files' folder; empty: ./log at each tick
        // The view's pace; the system's when null.
        const SteadyClock* viewClock = nullptr;
    };
    explicit Panel(Options options);
    ~Panel() override;

    // Records the line's traffic to the file; the failure's notice when it cannot be opened.
    std::optional<QString> Record(const QString& path);

    void tmrLogData_Timer();

    link::Link& link() { return link_; }
    state::PanelState& state() { return state_; }
    state::LinkDisplay& linkDisplay() { return linkDisplay_; }
    panel::Form1* window() { return window_.get(); }
    QTimer* tmrLogData;  // 60 s pressure log

signals:
    // A message that went into one of the three lists, as it arrived.
    void NewsArrived(vp::state::List list, std::string_view message);
    // The log tick took the four pressures (state().LastPressures).
    void PressuresLogged();
    // The log tick could not write: the status box's notice, emitted before PressuresLogged.
    void PressureLogFailed(const QString& notice);

private:
    state::PanelState state_;
    state::LinkDisplay linkDisplay_{state_};
    link::Link link_;
    logging::SystemClock systemClock_;
    logging::PressureLog log_;
    record::TrafficRecorder recorder_;
    // Deleted through a function of panel.cpp, so that a build without the window needs none.
    std::unique_ptr<panel::Form1, void (*)(panel::Form1*)> window_{nullptr, nullptr};
};

}  // namespace vp::app

// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

#include "link/link.h"
#include "logging/clock.h"
#include "logging/pressure_log.h"
#include "record/traffic_recorder.h"
#include "state/link_display.h"
#include "state/panel_state.h"

namespace vp::app {

// The whole panel but its window, wired: the link signals what happened, the state takes it in,
// and the log reads the state. A window, where there is one, is attached by PanelWindow, which
// shows the state and hands the operator's wishes to the link.
class Panel : public QObject {
    Q_OBJECT
public:
    struct Options {
        link::PortNames ports{};
        const logging::Clock* clock = nullptr;  // the system's when null
        QString logFolder{};  // the daily files' folder; empty: ./log at each tick
    };
    explicit Panel(Options options);
    ~Panel() override;

    // Records the line's traffic to the file; fails with the notice when it cannot be opened.
    Result<> Record(const QString& path);

    void tmrLogData_Timer();

    link::Link& link() { return link_; }
    state::PanelState& state() { return state_; }
    state::LinkDisplay& linkDisplay() { return linkDisplay_; }
    QTimer* tmrLogData;  // 60 s pressure log

signals:
    // A message that went into one of the three lists, as it arrived.
    void NewsArrived(vp::state::List list, std::string_view message);
    // The log tick took the four pressures (state().LastPressure).
    void PressuresLogged();
    // The log tick could not write: the status box's notice, emitted before PressuresLogged.
    void PressureLogFailed(const QString& notice);
    // What the operator did in an attached window, passed on for the journal: a control pressed
    // or a menu entry chosen with the body it sends, a set-point refused, and a frame the line
    // did not take.
    void OperatorAction(const QString& control, const QByteArray& body);
    void SetPointRefused(const QString& box, const QString& typed);
    void SendFailed(const QString& why);

private:
    state::PanelState state_;
    state::LinkDisplay linkDisplay_{state_};
    link::Link link_;
    logging::SystemClock systemClock_;
    logging::PressureLog log_;
    record::TrafficRecorder recorder_;
};

}  // namespace vp::app

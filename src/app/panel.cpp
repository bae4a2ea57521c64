#include "app/panel.h"

#include "state/dispatcher.h"
#ifndef VP_NO_WINDOW
#include "panel/form1.h"
#endif

namespace vp::app {

Panel::Panel(Options options)
    : tmrLogData(new QTimer(this)),
      link_(std::move(options.ports)),
      log_(options.clock ? *options.clock : systemClock_, options.logFolder,
           options.logFolder.isEmpty() ? QStringLiteral("log") : QString()) {
    tmrLogData->setObjectName(QStringLiteral("tmrLogData"));
    tmrLogData->setInterval(60000);
    connect(tmrLogData, &QTimer::timeout, this, &Panel::tmrLogData_Timer);

    // The incoming road: each message into the state, the link's own events beside it.
    connect(&link_, &link::Link::MessageReceived, this, [this](std::string_view message) {
        if (const auto list = state::HandleMessage(state_, message))
            emit NewsArrived(*list, message);
    });
    connect(&link_, &link::Link::FrameSent, &linkDisplay_, &state::LinkDisplay::FrameSent);
    connect(&link_, &link::Link::MessagesArrived, &linkDisplay_,
            &state::LinkDisplay::MessagesArrived);
    connect(&link_, &link::Link::StatusText, &linkDisplay_, &state::LinkDisplay::ShowStatusText);
    connect(&link_, &link::Link::ConnectionShown, &linkDisplay_,
            &state::LinkDisplay::ShowConnection);
    connect(&link_, &link::Link::ReportsStale, &linkDisplay_, &state::LinkDisplay::ReportsStale);

#ifndef VP_NO_WINDOW
    if (options.window) {
        window_ = {new panel::Form1(link_, state_, options.viewClock),
                   [](panel::Form1* form) { delete form; }};
        connect(&link_, &link::Link::ConnectionShown, window_.get(),
                [this](bool open) { window_->ShowPortLists(open); });
        // After the lamp and the counter have taken the arrival in.
        connect(&link_, &link::Link::MessagesArrived, &window_->view(), &panel::View::LineAnswered);
    }
#endif

    link_.Load();
    linkDisplay_.Load(link_.ComText());
#ifndef VP_NO_WINDOW
    if (window_) {
        window_->Form_Load();
        // The first picture is drawn before the window shows, not a frame later.
        window_->view().Render();
    }
#endif
    link_.Start();
    tmrLogData->start();
}

Panel::~Panel() = default;

std::optional<QString> Panel::Record(const QString& path) {
    if (auto notice = recorder_.Open(path)) return notice;
    link_.SetRecorder(&recorder_);
    return std::nullopt;
}

void Panel::tmrLogData_Timer() {
    std::array<QByteArray, 4> pressures;
    for (std::size_t i = 0; i < pressures.size(); ++i)
        pressures[i] = QByteArray::fromStdString(state_.LastPressures[i]);
    if (const auto notice = log_.Tick(pressures)) {
        linkDisplay_.ShowStatusText(*notice);
        emit PressureLogFailed(*notice);
    }
    emit PressuresLogged();
}

}  // namespace vp::app

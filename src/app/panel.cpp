// SPDX-License-Identifier: MIT
#include "app/panel.h"

#include "state/dispatcher.h"

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

    link_.Load();
    linkDisplay_.Load(link_.ComText());
    link_.Start();
    tmrLogData->start();
}

Panel::~Panel() = default;

Result<> Panel::Record(const QString& path) {
    if (Result<> opened = recorder_.Open(path); !opened.ok()) return opened;
    link_.SetRecorder(&recorder_);
    return {};
}

void Panel::tmrLogData_Timer() {
    std::array<QByteArray, 4> pressures;
    for (std::size_t i = 0; i < pressures.size(); ++i)
        pressures[i] = QByteArray::fromStdString(state_.LastPressure(i));
    if (const Result<> logged = log_.Tick(pressures); !logged.ok()) {
        linkDisplay_.ShowStatusText(logged.error());
        emit PressureLogFailed(logged.error());
    }
    emit PressuresLogged();
}

}  // namespace vp::app

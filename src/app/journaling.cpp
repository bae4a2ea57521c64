// SPDX-License-Identifier: MIT
#include "app/journaling.h"

#include <unistd.h>

#include <QSysInfo>
#include <cstdio>

#include "app/panel.h"
#include "app/publishing.h"
#include "base/program_name.h"
#include "journal/command_meanings.h"
#include "protocol/frame.h"
#include "protocol/message_kind.h"
#include "publish/mqtt_client.h"
#include "state/quality.h"

namespace vp::app {

namespace {

using journal::Kind;

// Texts of the state are Latin-1 bytes as the line spoke them; the journal keeps UTF-8.
std::string Utf8(std::string_view latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())).toStdString();
}

journal::Journal::Options JournalOptions(const Journaling::Options& options) {
    return {.path = options.path.isEmpty() ? journal::JournalPath() : options.path,
            .run = {.program = options.program,
                    .version = kVersion,
                    .host = QSysInfo::machineHostName().toStdString(),
                    .pid = ::getpid()},
            .retentionDays = options.retentionDays,
            .now = {},
            .retryMs = journal::Journal::kRetryMs};
}

}  // namespace

Journaling::Journaling(Panel& panel, Options options)
    : panel_(panel), journal_(JournalOptions(options)) {
    connect(&journal_, &journal::Journal::Trouble, this, [this](const QString& line) {
        std::fprintf(stderr, "%s: %s\n", kPanelProgram, qPrintable(line));
        panel_.linkDisplay().ShowStatusText(line);
    });
    connect(&panel, &Panel::NewsArrived, this, [this](state::List list, std::string_view message) {
        ListEntry(static_cast<int>(list), message);
    });
    link::Link& link = panel.link();
    connect(&link, &link::Link::StatusText, this, &Journaling::LinkText);
    connect(&link, &link::Link::ConnectionShown, this, &Journaling::Connection);
    connect(&link, &link::Link::ReportsStale, this, &Journaling::Stale);
    connect(&link, &link::Link::MessagesArrived, this, &Journaling::Arrived);
    connect(&panel, &Panel::OperatorAction, this, &Journaling::Operator);
    connect(&panel, &Panel::SetPointRefused, this, &Journaling::Refused);
    // The operator's record was written before the frame; a refused one follows it.
    connect(&panel, &Panel::SendFailed, this, &Journaling::LinkText);
}

Journaling::~Journaling() = default;

void Journaling::Start() {
    RefreshSource();
    open_ = panel_.link().PortOpen();
    journal_.Start();
    NoteQuality();
}

void Journaling::End() {
    journal_.End();
}

void Journaling::SetPrefix(const QString& prefix) {
    prefixed_ = true;
    journal_.SetSource(prefix.toStdString());
}

void Journaling::WatchBroker(publish::MqttClient& client) {
    connect(&client, &publish::MqttClient::BrokerStateChanged, this,
            [this](publish::MqttClient::BrokerState state, const QString& detail) {
                // Connecting is on its way to one of the others, which will be recorded.
                if (state == publish::MqttClient::BrokerState::Connecting) return;
                std::string text = std::string("broker ") + BrokerWord(state);
                if (!detail.isEmpty()) text += ": " + detail.toStdString();
                Record(Kind::Link, std::nullopt, std::move(text));
            });
}

void Journaling::ListEntry(int list, std::string_view message) {
    const auto id = static_cast<state::List>(list);
    const auto& entries = panel_.state().Entries(id);
    const protocol::Classification c = protocol::Classify(message);
    const Kind kind = id == state::List::lstErrors     ? Kind::Error
                      : id == state::List::lstWarnings ? Kind::Warning
                                                       : Kind::Message;
    // The error list shows the result code; the others the message's kind.
    const int code = kind == Kind::Error ? c.resultCode : c.kind;
    Record(kind, code, entries.empty() ? std::string() : Utf8(entries.front()), {},
           std::string(message));
}

void Journaling::Operator(const QString& control, const QByteArray& body) {
    const std::string name = control.toStdString();
    if (body.isEmpty()) {
        const char* what = control == QLatin1String("cmdConnect")      ? "Connect"
                           : control == QLatin1String("cmdDisconnect") ? "Disconnect"
                           : control == QLatin1String("cmdClearError") ? "Clear"
                                                                       : "pressed";
        Record(Kind::Operator, std::nullopt, what, name);
        return;
    }
    const std::string_view view(body.constData(), static_cast<std::size_t>(body.size()));
    std::string text = journal::CommandMeaning(view);
    const bool open = panel_.link().PortOpen();
    if (!open) text += " (not sent: not connected)";
    Record(Kind::Operator, protocol::Classify(view).kind, std::move(text), name,
           open ? protocol::Frame(view) : std::string(view));
}

void Journaling::Refused(const QString& box, const QString& typed) {
    Record(Kind::Operator, std::nullopt,
           "set-point refused: \"" + typed.toStdString() + "\" (not sent)", box.toStdString());
}

void Journaling::LinkText(const QString& text) {
    // The operator's record already says a command was not sent; a port that stays away gives
    // the same text at every try of a gateway, and once is enough.
    if (text == QLatin1String("Not connected!") || text == lastLinkText_) return;
    if (text.startsWith(QLatin1String("Journal "))) return;
    lastLinkText_ = text;
    Record(Kind::Link, std::nullopt, text.toStdString());
}

void Journaling::Connection(bool open, const QString& comText) {
    if (open_ != open) {
        open_ = open;
        Record(Kind::Link, std::nullopt,
               open ? "link connected: " + comText.toStdString() : "link disconnected");
        if (!open) stale_ = false;
    }
    NoteQuality();
}

void Journaling::Stale() {
    if (stale_ || !panel_.link().PortOpen()) return;
    stale_ = true;
    Record(Kind::Link, std::nullopt, "link stale: no status report for 3 s");
    NoteQuality();
}

void Journaling::Arrived() {
    if (stale_ && !panel_.state().Link().stale) {
        stale_ = false;
        Record(Kind::Link, std::nullopt, "link live again");
    }
    NoteQuality();
}

void Journaling::NoteQuality() {
    // The same word the network carries, so a journal and a subscriber tell one story.
    RefreshSource();
    journal_.Quality(state::QualityWord(state::QualityOf(panel_.state())));
}

void Journaling::RefreshSource() {
    // The port is the operator's choice and may change between records.
    if (!prefixed_)
        journal_.SetSource(("Com" + std::to_string(panel_.link().MSComm1().CommPort())));
}

void Journaling::Record(journal::Kind kind, std::optional<int> code, std::string text,
                        std::string control, std::string raw) {
    RefreshSource();
    journal_.Add(kind, code, std::move(text), std::move(control), std::move(raw));
}

}  // namespace vp::app

// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "base/program_name.h"
#include "journal/journal.h"

namespace vp::publish {
class MqttClient;
}

namespace vp::app {

class Panel;

// The panel's journal, wired: every entry into the three lists, every frame the operator caused
// and every refused set-point, the link's events and the plant's quality, the broker's state for
// a gateway, and the program's start and clean end. Trouble with the file costs one line in the
// status box and one on standard error.
class Journaling : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString path;  // log/journal.sqlite under the current folder when empty
        std::string program = kPanelProgram;
        int retentionDays = 400;
    };
    Journaling(Panel& panel, Options options);
    ~Journaling() override;

    void Start();
    // Records the clean end and writes everything still queued.
    void End();

    // A gateway's records carry the plant's prefix rather than the port.
    void SetPrefix(const QString& prefix);
    void WatchBroker(publish::MqttClient& client);

    journal::Journal& journal() { return journal_; }

private:
    void ListEntry(int list, std::string_view message);
    void Operator(const QString& control, const QByteArray& body);
    void Refused(const QString& box, const QString& typed);
    void LinkText(const QString& text);
    void Connection(bool open, const QString& comText);
    void Stale();
    void Arrived();
    void NoteQuality();
    void RefreshSource();
    void Record(journal::Kind kind, std::optional<int> code, std::string text,
                std::string control = {}, std::string raw = {});

    Panel& panel_;
    journal::Journal journal_;
    bool prefixed_ = false;
    bool open_ = false;
    bool stale_ = false;
    QString lastLinkText_;
};

}  // namespace vp::app

// SPDX-License-Identifier: MIT
#include <QtTest>
#include <set>

#include "app/journaling.h"
#include "app/publishing.h"
#include "journal/journal_reader.h"
#include "protocol/frame.h"
#include "publish/broker_url.h"
#include "support/broker.h"
#include "support/live_panel.h"
#include "support/panel_on_pty.h"

using namespace vp::journal;

// The journal of a real panel on the simulated controller, faults injected and the operator
// clicking through the real window: every kind of record, in the order it happened.
class TestJournalPanel : public QObject {
    Q_OBJECT
private slots:
    void aRunOfThePanelIsJournalled() {
        LivePanel live;
        QString error;
        QVERIFY2(live.Start(&error), qPrintable(error));
        const QString path = live.dir.filePath("journal.sqlite");
        vp::app::Journaling journaling(*live.panel, {.path = path});
        journaling.Start();
        const auto wait = LivePanel::kWait;

        live.Connect();
        live.panel->link().Timer2_Timer();
        QTRY_VERIFY_WITH_TIMEOUT((live.form->view().Render(), live.Live()), wait);
        QVERIFY(live.sim->InjectFault("error-report=170").ok());
        QTRY_VERIFY_WITH_TIMEOUT(
            live.form->lstErrors->count() > 0 ||
                !live.panel->state().Entries(vp::state::List::lstErrors).empty(),
            wait);
        QVERIFY(live.sim->InjectFault("warning=220").ok());
        QTRY_VERIFY_WITH_TIMEOUT(!live.panel->state().Entries(vp::state::List::lstWarnings).empty(),
                                 wait);
        live.panel->link().ReceiveText(vp::protocol::Frame("050_hello"));

        live.form->cmdHigh->click();
        live.form->mnuTmp1On->trigger();
        live.form->txtTMPspeed->setText("150");
        live.form->cmdTMPspeed->click();

        // The controller falls silent until the watchdog greys the picture, then speaks again.
        QVERIFY(live.sim->InjectFault("silence=3600").ok());
        QTRY_VERIFY_WITH_TIMEOUT(
            (live.panel->link().Timer5_Timer(), live.panel->state().Link().stale), wait);
        QVERIFY(live.sim->InjectFault("clear").ok());
        QTRY_VERIFY_WITH_TIMEOUT(!live.panel->state().Link().stale, wait);
        live.form->cmdDisconnect->click();
        live.panel->link().Timer2_Timer();
        live.form->cmdHigh->click();
        journaling.End();

        std::vector<Row> rows;
        QVERIFY(ReadJournal(path, {}, [&](const Row& row) { rows.push_back(row); }).ok());
        QStringList seen;
        for (const Row& row : rows) {
            const Entry& e = row.entry;
            seen << QStringLiteral("%1 %2 %3 %4")
                        .arg(KindWord(e.kind), e.code ? QString::number(*e.code) : "-",
                             QString::fromStdString(e.control), QString::fromStdString(e.text));
            QCOMPARE(e.source, std::string("Com3"));
        }
        const QString all = seen.join('\n');
        // Each expected record, in this order, among the rest.
        const QStringList expected = {
            "program -  start vacuum-panel",
            "quality -  starting",  // no report yet in this run, whatever the port
            "operator - cmdConnect Connect",
            "link -  Port 3 open successfully",
            "link -  link connected: Com3,115200,n,8,1",
            "quality -  good",
            "error 170  170 (",
            "warning 220   220 (",
            "message 50  050_hello",
            "operator 121 cmdHigh mode High vacuum",
            "operator 80 mnuTmp1On TMP1 on",
            "operator - txtTMPspeed set-point refused: \"150\" (not sent)",
            "link -  link stale: no status report for 3 s",
            "quality -  stale",
            "link -  link live again",
            "quality -  good",
            "operator - cmdDisconnect Disconnect",
            "link -  Port 3 closed",
            "link -  link disconnected",
            "quality -  disconnected",
            "operator 121 cmdHigh mode High vacuum (not sent: not connected)",
            "program -  end",
        };
        qsizetype from = 0;
        for (const QString& record : expected) {
            const qsizetype at = all.indexOf(record, from);
            QVERIFY2(at >= 0, qPrintable(record + "\nnot found in order in:\n" + all));
            from = at + record.size();
        }
        // The list entry as the window shows it; the frame as it went on the wire.
        for (const Row& row : rows) {
            if (row.entry.kind == Kind::Error)
                QCOMPARE(QString::fromStdString(row.entry.text),
                         live.form->lstErrors->item(0)->text());
            if (row.entry.control == "cmdHigh" && row.entry.text == "mode High vacuum")
                QCOMPARE(row.entry.raw, vp::protocol::Frame("121_"));
        }
    }

    // A gateway's records carry the plant's prefix, and the broker's coming and going.
    // A command whose frame the line refused is followed by the reason, so the operator's record
    // of it is not read as a command that went out.
    void aRefusedFrameIsJournalled() {
        PanelOnPty panel;
        QTemporaryDir dir;
        const QString path = dir.filePath("journal.sqlite");
        vp::app::Journaling journaling(*panel.app, {.path = path});
        journaling.Start();
        QVERIFY(panel.Open());
        panel.pty.Close();
        panel.form->commands().Command_Click(121);
        journaling.End();

        QStringList links;
        QVERIFY(
            ReadJournal(path, {.fromMs = {}, .toMs = {}, .kinds = {Kind::Link}, .grep = {}},
                        [&](const Row& row) { links << QString::fromStdString(row.entry.text); })
                .ok());
        QVERIFY2(links.contains("Port 3: Error writing comm device"), qPrintable(links.join('\n')));
    }

    void aGatewayJournalsTheBroker() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        QTemporaryDir dir;
        const QString path = dir.filePath("journal.sqlite");
        vp::app::Panel panel({.ports = {}, .clock = nullptr});
        const auto url = vp::publish::ParseBrokerUrl(broker.Url("site/plantA"));
        QVERIFY(url.ok());
        vp::app::Publishing publishing(panel, *url, vp::app::Options{});
        vp::app::Journaling journaling(panel, {.path = path});
        journaling.SetPrefix(url->prefix);
        journaling.WatchBroker(publishing.client());
        journaling.Start();
        QVERIFY(publishing.Start().ok());
        std::set<std::string> sources;
        const auto texts = [&] {
            QStringList seen;
            if (!journaling.journal().Flush()) return QString();
            (void)ReadJournal(path, {.fromMs = {}, .toMs = {}, .kinds = {Kind::Link}, .grep = {}},
                              [&](const Row& row) {
                                  sources.insert(row.entry.source);
                                  seen << QString::fromStdString(row.entry.text);
                              });
            return seen.join('\n');
        };
        QTRY_VERIFY_WITH_TIMEOUT(texts().contains("broker connected"), LivePanel::kWait);
        broker.Stop();
        QTRY_VERIFY_WITH_TIMEOUT(texts().count("broker ") >= 2, LivePanel::kWait);
        publishing.Stop();
        journaling.End();
        QCOMPARE(sources, std::set<std::string>{"site/plantA"});
    }
};

QTEST_MAIN(TestJournalPanel)
#include "tst_journal_panel.moc"

// SPDX-License-Identifier: MIT
// The whole road: simulated controller -> pseudo-terminal -> QSerialPort -> the window, with the
// window's own timers running. Waits are bounded polls on the controls.
#include <QtTest>

#include "support/hand_clock.h"
#include "support/link_probe.h"
#include "support/live_panel.h"
#include "support/state_probe.h"

namespace {
constexpr int kWait = LivePanel::kWait;
}

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QString error;
        QVERIFY2(live.Start(&error), qPrintable(error));
    }

    void cleanup() { live.Stop(); }

    void connectShowsTheLivePlant() {
        ConnectLive();
        QTRY_COMPARE_WITH_TIMEOUT(live.form->lblStatus->Caption(), QStringLiteral("Connected"),
                                  kWait);
        QVERIFY(live.sim->ReceivedBodies().contains("111_"));
        QCOMPARE(live.form->shpTG1->FillColor(), 0x00FFFFFFu);
        QVERIFY(live.form->lblTG1->Caption().endsWith("\r\nmBar"));
        QCOMPARE(live.form->lblTG1State->Caption(), QStringLiteral("TG1 state: OK"));
        QVERIFY(live.form->lblTMP1status->Caption() != "---");
        QVERIFY(live.form->txtUptime->text().endsWith('s'));
        QVERIFY(!live.panel->state().LastPressure(0).empty());
        // The counters climb with every poll and its answer.
        const int sent = live.Sent();
        QTRY_VERIFY_WITH_TIMEOUT(live.Sent() > sent + 2, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(live.Received() > sent, kWait);
        QCOMPARE(live.Crc(), 0);
    }

    // A poll after a quiet spell, the lamps it switches and the answer that follows at once are
    // drawn as one picture: the receive lamp is not shown out for a frame that the line never saw.
    // The view's clock stands still while the answer travels, as on a fast line.
    void aPollAndItsAnswerAreOnePicture() {
        live.Stop();
        QString error;
        QVERIFY2(live.Start(&error, &clock), qPrintable(error));
        Connect();
        // The window waits for the clock; the state is live first.
        QTRY_VERIFY_WITH_TIMEOUT(
            live.panel->state().FillOf(vp::state::Fill::shpTG1) != LivePanel::kGrey, kWait);
        auto& link = live.panel->link();
        for (QTimer* timer : link.findChildren<QTimer*>()) timer->stop();
        auto& lamps = live.panel->linkDisplay();
        auto& view = live.form->view();
        QStringList seen;  // renders per exchange
        for (int exchange = 0; exchange < 5; ++exchange) {
            vp::test::StateProbe::SendLamp(lamps).stop();
            vp::test::StateProbe::ReceiveLamp(lamps).stop();
            view.Render();
            clock.now += std::chrono::milliseconds(2 * vp::panel::View::kFramePeriodMs);
            const auto renders = view.Renders();
            const int received = live.Received();
            link.Timer1_Timer();
            QTRY_VERIFY_WITH_TIMEOUT(live.Received() > received, kWait);
            seen << QString::number(view.Renders() - renders);
            // Drawn with the arrival, the clock not moved since the poll.
            const QString shown = QString::number(live.Received()) + " received messages";
            QCOMPARE(live.form->lblReceivedMessages->Caption(), shown);
            QCOMPARE(live.form->shpRecv->FillColor(), 0x0000FF00u);
            QCOMPARE(live.form->shpSend->FillColor(), 0x0000FFFFu);
        }
        QCOMPARE(seen.join(' '), QStringLiteral("1 1 1 1 1"));
    }

    void disconnectAndReconnect() {
        ConnectLive();
        live.form->cmdDisconnect->click();
        live.form->view().Render();
        QCOMPARE(live.form->txtStatus->text(), QStringLiteral("Port 3 closed"));
        const int frames = live.sim->FramesReceived();
        Connect();
        QTRY_VERIFY_WITH_TIMEOUT(live.sim->FramesReceived() > frames + 2, kWait);
    }

    void watchdogGreysWhenTheControllerFallsSilent() {
        ConnectLive();
        QVERIFY(live.sim->InjectFault("silence=3600").ok());
        // Let any answer already on the wire arrive; from then on the polls go unanswered.
        int frames = live.sim->FramesReceived();
        QTRY_VERIFY_WITH_TIMEOUT(live.sim->FramesReceived() > frames + 2, kWait);
        const int received = live.Received();
        live.panel->link().Timer5_Timer();  // the period that saw the last report
        live.panel->link().Timer5_Timer();  // a whole period without one: grey
        live.form->view().Render();
        for (auto* shape : live.Indicators()) QCOMPARE(shape->FillColor(), 0x80000011u);
        frames = live.sim->FramesReceived();
        QTRY_VERIFY_WITH_TIMEOUT(live.sim->FramesReceived() > frames + 5, kWait);
        QCOMPARE(live.Received(), received);
        live.form->view().Render();
        QCOMPARE(live.form->shpTG1->FillColor(), 0x80000011u);

        QVERIFY(live.sim->InjectFault("clear").ok());
        QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
        // Every shape of the report is repainted; the hour boxes wait for their own reply.
        for (auto* shape : live.Indicators()) {
            if (shape == live.form->shpTMP1OperatingHours ||
                shape == live.form->shpTMP2OperatingHours)
                continue;
            QVERIFY2(shape->FillColor() != 0x80000011u, qPrintable(shape->objectName()));
        }
    }

    void controllerFaultsReachTheLists() {
        // Every answer here is one asked for.
        vp::test::LinkProbe::SlowPoll(live.panel->link()).stop();
        ConnectLive();
        QVERIFY(live.sim->InjectFault("bad-checksum").ok());
        QTRY_COMPARE_WITH_TIMEOUT(live.Crc(), 1, kWait);
        live.form->view().Render();
        QCOMPARE(live.form->lblCrcErrors->Caption(), QStringLiteral(" 1 received crc errors"));
        QVERIFY(live.sim->InjectFault("error-report=170").ok());
        QTRY_COMPARE_WITH_TIMEOUT(live.form->lstErrors->count(), 1, kWait);
        QCOMPARE(live.form->lstErrors->item(0)->text(),
                 QStringLiteral("170 (no response from icpcon)"));
        QVERIFY(live.sim->InjectFault("warning=235").ok());
        QTRY_COMPARE_WITH_TIMEOUT(live.form->lstWarnings->count(), 1, kWait);
        QCOMPARE(live.form->lstWarnings->item(0)->text(),
                 QStringLiteral(" 235 (OP_ROTARY_PUMP_TRIP)"));
        live.form->cmdTmpErrorsReset->click();  // its reply has no handler: listed as received
        QTRY_COMPARE_WITH_TIMEOUT(live.form->lstMessages->count(), 1, kWait);
        QVERIFY(live.form->lstMessages->item(0)->text().startsWith("039"));
        // A flood of reports is drawn report by report; a report of the wrong length is counted as
        // received and drawn not at all. Nothing reaches the lists.
        const int shown = live.Shown();
        const int undrawn = live.Received() - shown;
        QVERIFY(live.sim->InjectFault("wrong-length=80").ok());
        QVERIFY(live.sim->InjectFault("flood=50").ok());
        QTRY_VERIFY_WITH_TIMEOUT(live.Shown() >= shown + 50, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(live.Received() - live.Shown(), undrawn + 1, kWait);
        live.form->view().Render();
        QCOMPARE(live.form->lstErrors->count(), 1);
        QCOMPARE(live.form->lstMessages->count(), 1);
        QVERIFY(Live());
    }

    void deviceVanishesAndComesBack() {
        ConnectLive();
        live.sim->Stop();
        QTRY_COMPARE_WITH_TIMEOUT(live.form->txtStatus->text(),
                                  QStringLiteral("Port 3: Error reading comm device"), kWait);
        QVERIFY(!live.panel->link().PortOpen());
        QTRY_COMPARE_WITH_TIMEOUT(live.form->lblStatus->Caption(), QStringLiteral("Disconnected"),
                                  kWait);

        QVERIFY(live.sim->Start().ok());
        const int frames = live.sim->FramesReceived();
        Connect();
        QTRY_VERIFY_WITH_TIMEOUT(live.sim->FramesReceived() > frames + 2, kWait);
    }

private:
    void Connect() { QCOMPARE(live.Connect(), QStringLiteral("Port 3 open successfully")); }
    void ConnectLive() {
        Connect();
        QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    }
    bool Live() const { return live.Live(); }

    HandClock clock;  // outlives the panel that reads it
    LivePanel live;
};

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"

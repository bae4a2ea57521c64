// The whole road: simulated controller -> pseudo-terminal -> QSerialPort -> the window, with the
// window's own timers running. Waits are bounded polls on the controls.
#include <QtTest>

#include "support/live_panel.h"

namespace {
constexpr int kWait = LivePanel::kWait;
}

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectShowsTheLivePlant();
    void disconnectAndReconnect();
    void watchdogGreysWhenTheControllerFallsSilent();
    void controllerFaultsReachTheLists();
    void deviceVanishesAndComesBack();

private:
    void Connect() { QCOMPARE(live.Connect(), QStringLiteral("Port 3 open successfully")); }
    bool Live() const { return live.Live(); }

    LivePanel live;
    vp::sim::SimulatedController* sim = nullptr;
    vp::panel::Form1* form = nullptr;
};

void TestEndToEnd::init() {
    QString error;
    QVERIFY2(live.Start(&error), qPrintable(error));
    sim = live.sim.get();
    form = live.form;
}

void TestEndToEnd::cleanup() {
    live.Stop();
}

void TestEndToEnd::connectShowsTheLivePlant() {
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(form->lblStatus->Caption(), QStringLiteral("Connected"), kWait);
    QVERIFY(sim->ReceivedBodies().contains("111_"));
    QCOMPARE(form->shpTG1->FillColor(), 0x00FFFFFFu);
    QVERIFY(form->lblTG1->Caption().endsWith("\r\nmBar"));
    QCOMPARE(form->lblTG1State->Caption(), QStringLiteral("TG1 state: OK"));
    QVERIFY(form->lblTMP1status->Caption() != "---");
    QVERIFY(form->txtUptime->text().endsWith('s'));
    QVERIFY(!live.panel->state().LastPressures[0].empty());
    // The counters climb with every poll and its answer.
    const int sent = live.Sent();
    QTRY_VERIFY_WITH_TIMEOUT(live.Sent() > sent + 2, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(live.Received() > sent, kWait);
    QCOMPARE(live.Crc(), 0);
}

void TestEndToEnd::disconnectAndReconnect() {
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    form->cmdDisconnect->click();
    form->view().Render();
    QCOMPARE(form->txtStatus->text(), QStringLiteral("Port 3 closed"));
    const int frames = sim->FramesReceived();
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(sim->FramesReceived() > frames + 2, kWait);
}

void TestEndToEnd::watchdogGreysWhenTheControllerFallsSilent() {
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    QVERIFY(sim->InjectFault("silence=3600"));
    // Let any answer already on the wire arrive; from then on the polls go unanswered.
    int frames = sim->FramesReceived();
    QTRY_VERIFY_WITH_TIMEOUT(sim->FramesReceived() > frames + 2, kWait);
    const int received = live.Received();
    live.panel->link().Timer5_Timer();  // the period that saw the last report
    live.panel->link().Timer5_Timer();  // a whole period without one: grey
    form->view().Render();
    for (auto* shape : live.Indicators()) QCOMPARE(shape->FillColor(), 0x80000011u);
    frames = sim->FramesReceived();
    QTRY_VERIFY_WITH_TIMEOUT(sim->FramesReceived() > frames + 5, kWait);
    QCOMPARE(live.Received(), received);
    form->view().Render();
    QCOMPARE(form->shpTG1->FillColor(), 0x80000011u);

    QVERIFY(sim->InjectFault("clear"));
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    // Every shape of the report is repainted; the hour boxes wait for their own reply.
    for (auto* shape : live.Indicators()) {
        if (shape == form->shpTMP1OperatingHours || shape == form->shpTMP2OperatingHours) continue;
        QVERIFY2(shape->FillColor() != 0x80000011u, qPrintable(shape->objectName()));
    }
}

void TestEndToEnd::controllerFaultsReachTheLists() {
    live.panel->link().tmrTMPOperatingHours->stop();  // every answer here is one the test asked for
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    QVERIFY(sim->InjectFault("bad-checksum"));
    QTRY_COMPARE_WITH_TIMEOUT(live.Crc(), 1, kWait);
    form->view().Render();
    QCOMPARE(form->lblCrcErrors->Caption(), QStringLiteral(" 1 received crc errors"));
    QVERIFY(sim->InjectFault("error-report=170"));
    QTRY_COMPARE_WITH_TIMEOUT(form->lstErrors->count(), 1, kWait);
    QCOMPARE(form->lstErrors->item(0)->text(), QStringLiteral("170 (no response from icpcon)"));
    QVERIFY(sim->InjectFault("warning=235"));
    QTRY_COMPARE_WITH_TIMEOUT(form->lstWarnings->count(), 1, kWait);
    QCOMPARE(form->lstWarnings->item(0)->text(), QStringLiteral(" 235 (OP_ROTARY_PUMP_TRIP)"));
    form->cmdTmpErrorsReset->click();  // its reply has no handler: listed as received
    QTRY_COMPARE_WITH_TIMEOUT(form->lstMessages->count(), 1, kWait);
    QVERIFY(form->lstMessages->item(0)->text().startsWith("039"));
    // A flood of reports is drawn report by report; a report of the wrong length is counted as
    // received and drawn not at all. Nothing reaches the lists.
    const int shown = live.Shown();
    const int undrawn = live.Received() - shown;
    QVERIFY(sim->InjectFault("wrong-length=80"));
    QVERIFY(sim->InjectFault("flood=50"));
    QTRY_VERIFY_WITH_TIMEOUT(live.Shown() >= shown + 50, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(live.Received() - live.Shown(), undrawn + 1, kWait);
    form->view().Render();
    QCOMPARE(form->lstErrors->count(), 1);
    QCOMPARE(form->lstMessages->count(), 1);
    QVERIFY(Live());
}

void TestEndToEnd::deviceVanishesAndComesBack() {
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    sim->Stop();
    QTRY_COMPARE_WITH_TIMEOUT(form->txtStatus->text(),
                              QStringLiteral("Port 3: Error reading comm device"), kWait);
    QVERIFY(!live.panel->link().PortOpen());
    QTRY_COMPARE_WITH_TIMEOUT(form->lblStatus->Caption(), QStringLiteral("Disconnected"), kWait);

    QVERIFY(sim->Start());
    const int frames = sim->FramesReceived();
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(sim->FramesReceived() > frames + 2, kWait);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"

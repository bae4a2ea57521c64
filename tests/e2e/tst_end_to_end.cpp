// The whole road: simulated controller -> pseudo-terminal -> QSerialPort -> the window, with the
// window's own timers running. Waits are bounded polls on the controls.
#include <QTemporaryDir>
#include <QtTest>

#include "panel/form1.h"
#include "sim/simulated_controller.h"

using vp::panel::Form1;
using vp::sim::SimulatedController;

namespace {
constexpr int kWait = 10000;  // ms; generous for a loaded CI machine
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
    void Connect() {
        form->cmdConnect->click();
        QCOMPARE(form->txtStatus->text(), QStringLiteral("Port 3 open successfully"));
    }
    bool Live() const { return form->shpTG1->FillColor() != 0x80000011u; }

    QTemporaryDir dir;
    QString link;
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<Form1> form;
};

void TestEndToEnd::init() {
    sim = std::make_unique<SimulatedController>();
    QString error;
    QVERIFY2(sim->Start(&error), qPrintable(error));
    link = dir.filePath("controller");
    QVERIFY2(sim->MakeLink(link, &error), qPrintable(error));
    form = std::make_unique<Form1>(vp::link::PortNames{{3, link}});
}

void TestEndToEnd::cleanup() {
    form.reset();
    sim.reset();
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
    QVERIFY(!form->display().LastPressures()[0].isEmpty());
    // The counters climb with every poll and its answer.
    const int sent = form->framing().SentMessageCount().value();
    QTRY_VERIFY_WITH_TIMEOUT(form->framing().SentMessageCount().value() > sent + 2, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(form->framing().ReceivedMessageCount().value() > sent, kWait);
    QCOMPARE(form->dispatcher().CrcErrorCount().value(), 0);
}

void TestEndToEnd::disconnectAndReconnect() {
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    form->cmdDisconnect->click();
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
    const int received = form->framing().ReceivedMessageCount().value();
    form->polls().Timer5_Timer();  // the period that saw the last report
    form->polls().Timer5_Timer();  // a whole period without one: grey
    for (auto* shape : form->Indicators()) QCOMPARE(shape->FillColor(), 0x80000011u);
    frames = sim->FramesReceived();
    QTRY_VERIFY_WITH_TIMEOUT(sim->FramesReceived() > frames + 5, kWait);
    QCOMPARE(form->framing().ReceivedMessageCount().value(), received);
    QCOMPARE(form->shpTG1->FillColor(), 0x80000011u);

    QVERIFY(sim->InjectFault("clear"));
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    // Every shape of the report is repainted; the hour boxes wait for their own reply.
    for (auto* shape : form->Indicators()) {
        if (shape == form->shpTMP1OperatingHours || shape == form->shpTMP2OperatingHours) continue;
        QVERIFY2(shape->FillColor() != 0x80000011u, qPrintable(shape->objectName()));
    }
}

void TestEndToEnd::controllerFaultsReachTheLists() {
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    QVERIFY(sim->InjectFault("bad-checksum"));
    QTRY_COMPARE_WITH_TIMEOUT(form->dispatcher().CrcErrorCount().value(), 1, kWait);
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
    // A flood of reports and a wrong-length one change nothing but the display.
    QVERIFY(sim->InjectFault("flood=50"));
    QVERIFY(sim->InjectFault("wrong-length=80"));
    const int received = form->framing().ReceivedMessageCount().value();
    QTRY_VERIFY_WITH_TIMEOUT(form->framing().ReceivedMessageCount().value() > received + 50, kWait);
    QCOMPARE(form->lstErrors->count(), 1);
    QVERIFY(Live());
}

void TestEndToEnd::deviceVanishesAndComesBack() {
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(Live(), kWait);
    sim->Stop();
    QTRY_COMPARE_WITH_TIMEOUT(form->txtStatus->text(),
                              QStringLiteral("Port 3: Error reading comm device"), kWait);
    QVERIFY(!form->MSComm1->PortOpen());
    QTRY_COMPARE_WITH_TIMEOUT(form->lblStatus->Caption(), QStringLiteral("Disconnected"), kWait);

    QVERIFY(sim->Start());
    const int frames = sim->FramesReceived();
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(sim->FramesReceived() > frames + 2, kWait);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"

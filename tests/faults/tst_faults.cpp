// SPDX-License-Identifier: MIT
// The controller misbehaving while the panel runs: simulated controller on a pseudo-terminal,
// the real window with its own timers. Each fault must show up where the operator looks (the
// counters, the lists), and the reports after it must still reach the diagram.
#include <QtTest>

#include "protocol/rx_buffer.h"
#include "support/link_probe.h"
#include "support/live_panel.h"

namespace {
constexpr int kWait = LivePanel::kWait;
constexpr unsigned kGrey = LivePanel::kGrey;
}  // namespace

class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QString error;
        QVERIFY2(live.Start(&error), qPrintable(error));
    }

    void cleanup() { live.Stop(); }

    void wrongLengthReportIsCountedNotDrawn_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("short reply") << "wrong-length=40";
        QTest::newRow("overlong reply") << "wrong-length=250";
    }

    void wrongLengthReportIsCountedNotDrawn() {
        QFETCH(QString, fault);
        // Only status polls from here on, so every message but the faulty one is a drawn report.
        vp::test::LinkProbe::SlowPoll(live.panel->link()).stop();
        Connect();
        QTRY_VERIFY_WITH_TIMEOUT(Received() == Shown(), kWait);
        QVERIFY(live.sim->InjectFault(fault).ok());
        QTRY_VERIFY_WITH_TIMEOUT(Received() - Shown() == 1, kWait);
        ReportsGoOn();
        QCOMPARE(Received() - Shown(), 1);
        QCOMPARE(Crc(), 0);
        QCOMPARE(live.form->lstMessages->count(), 0);
    }

    void noiseCountsAsChecksumErrorsOnly() {
        Connect();
        const int received = Received();
        QVERIFY(live.sim->InjectFault("noise").ok());
        QTRY_VERIFY_WITH_TIMEOUT(Crc() > 0, kWait);
        ReportsGoOn();
        // Every noise line is counted as received and, lacking a right checksum, as a crc error;
        // none of it reaches the lists as an error report.
        QVERIFY(Received() >= received + Crc());
        QCOMPARE(live.form->lstErrors->count(), 0);
        QCOMPARE(live.form->lblCrcErrors->Caption(),
                 QStringLiteral(" %1 received crc errors").arg(Crc()));
    }

    void splitRepliesAreReassembled() {
        Connect();
        // Several replies in a row arrive a few bytes at a time.
        for (int i = 0; i < 5; ++i) {
            const int shown = Shown();
            QVERIFY(live.sim->InjectFault("split").ok());
            QTRY_VERIFY_WITH_TIMEOUT(Shown() > shown + 1, kWait);
        }
        ReportsGoOn();
        QCOMPARE(Crc(), 0);
        QCOMPARE(live.form->lstMessages->count(), 0);
        QCOMPARE(live.form->lstErrors->count(), 0);
    }

    void floodIsShownReportByReport() {
        Connect();
        const int shown = Shown();
        const int reports = live.sim->StatusReportsSent();
        QVERIFY(live.sim->InjectFault("flood=500").ok());
        QTRY_VERIFY_WITH_TIMEOUT(live.sim->StatusReportsSent() >= reports + 500, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(Shown() >= shown + 500, kWait);
        ReportsGoOn();
        QCOMPARE(Crc(), 0);
        QCOMPARE(live.sim->DroppedBytes(), 0);
    }

    void stormOfEveryFaultAtOnce() {
        Connect();
        // Rounds of every one-shot fault on the same reply, reports pushed all the while: more
        // errors and warnings than the lists hold, noise, splits and floods between them.
        constexpr int kRounds = 12;
        QVERIFY(live.sim->InjectFault("push=200000").ok());
        for (int round = 0; round < kRounds; ++round) {
            int frames = live.sim->FramesReceived();
            for (const char* fault :
                 {"noise", "split", "bad-checksum", "flood=5", "warning=221", "wrong-length=120"})
                QVERIFY(live.sim->InjectFault(fault).ok());
            QTRY_VERIFY_WITH_TIMEOUT(live.sim->FramesReceived() > frames, kWait);
            frames = live.sim->FramesReceived();
            QVERIFY(live.sim->InjectFault(QStringLiteral("error-report=%1").arg(160 + round)).ok());
            QTRY_VERIFY_WITH_TIMEOUT(live.sim->FramesReceived() > frames, kWait);
            QVERIFY(live.panel->link().rxBuffer().Pending().size() <=
                    vp::protocol::RxBuffer::kLimit);
        }
        QVERIFY(live.sim->InjectFault("push=0").ok());
        // Split replies trickle out a few bytes a millisecond: wait for the last error report.
        QTRY_VERIFY_WITH_TIMEOUT(live.panel->state().OperationErrors() >= kRounds, 3 * kWait);
        ReportsGoOn();
        QCOMPARE(live.form->lstErrors->count(), 10);
        QCOMPARE(live.form->lstWarnings->count(), 10);
        QCOMPARE(live.form->lstErrors->item(0)->text().left(3), QString::number(160 + kRounds - 1));
        QCOMPARE(live.form->lstWarnings->item(0)->text().left(4), QStringLiteral(" 221"));
        QVERIFY(Crc() >= kRounds);  // a bad checksum a round, and the noise besides
        QCOMPARE(live.sim->DroppedBytes(), 0);
    }

private:
    void Connect() {
        QCOMPARE(live.Connect(), QStringLiteral("Port 3 open successfully"));
        QTRY_VERIFY_WITH_TIMEOUT(Shown() > 0, kWait);
    }
    int Shown() const { return live.Shown(); }
    int Received() const { return live.Received(); }
    int Crc() const { return live.Crc(); }
    // Reports keep reaching the diagram: a few more are shown and it is not greyed.
    void ReportsGoOn() {
        const int shown = Shown();
        QTRY_VERIFY_WITH_TIMEOUT(Shown() > shown + 3, kWait);
        live.form->view().Render();
        QVERIFY(live.form->shpTG1->FillColor() != kGrey);
        QVERIFY(live.form->lblTG1->Caption().endsWith(QStringLiteral("\r\nmBar")));
        QVERIFY(live.panel->link().rxBuffer().Pending().size() <= vp::protocol::RxBuffer::kLimit);
        for (auto* list : {live.form->lstErrors, live.form->lstWarnings, live.form->lstMessages})
            QVERIFY(list->count() <= 10);
    }

    LivePanel live;
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

// Unasked status reports at a line's pace: what the full-rate benchmark and the floods rely on.
#include <QTest>

#include "controller_line.h"
#include "sim/faults.h"
#include "sim/simulated_controller.h"

using simtest::ChecksumOk;
using simtest::CodeAt;
using simtest::Kind;
using simtest::PanelEnd;
using vp::sim::Faults;
using vp::sim::SimulatedController;

namespace {
constexpr int kWait = 5000;
}

class TestSimPush : public QObject {
    Q_OBJECT

private slots:
    void pushRequests_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("rate");
        QTest::newRow("full line") << "push=921600" << true << 921600;
        QTest::newRow("stop") << "push=0" << true << 0;
        QTest::newRow("top") << "push=10000000" << true << 10000000;
        QTest::newRow("above top") << "push=10000001" << false << 0;
        QTest::newRow("negative") << "push=-1" << false << 0;
        QTest::newRow("no value") << "push" << false << 0;
        QTest::newRow("not a number") << "push=fast" << false << 0;
    }
    void pushRequests() {
        QFETCH(QString, request);
        QFETCH(bool, accepted);
        Faults faults;
        QString error;
        QCOMPARE(faults.Inject(request, 0, &error), accepted);
        QTEST(faults.PushRate(), "rate");
        if (!accepted) QVERIFY(error.contains(QStringLiteral("push")));
    }

    void pushedReportsArriveWholeAndCounted() {
        SimulatedController sim;
        QString error;
        QVERIFY2(sim.Start(&error), qPrintable(error));
        PanelEnd panel;
        QVERIFY(panel.Open(sim.DevicePath()));
        // 82,000 bit/s carries a hundred reports a second.
        QVERIFY(sim.InjectFault(QStringLiteral("push=82000")));
        QTRY_VERIFY_WITH_TIMEOUT(panel.LineCount() >= 30, kWait);
        QVERIFY(sim.InjectFault(QStringLiteral("push=0")));
        const int pushed = sim.PushedReports();
        QTRY_COMPARE_WITH_TIMEOUT(panel.LineCount(), pushed, kWait);
        for (const QByteArray& line : panel.Lines()) {
            QCOMPARE(line.size(), 81);
            QVERIFY(ChecksumOk(line));
            QCOMPARE(Kind(line), 111);
            QCOMPARE(CodeAt(line, 5), 150);
        }
        QCOMPARE(sim.StatusReportsSent(), pushed);
        QCOMPARE(sim.DroppedBytes(), 0);
        // Polls are still answered while reports are pushed.
        QVERIFY(sim.InjectFault(QStringLiteral("push=82000")));
        panel.Send("040_");
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const QByteArray& line : panel.Lines())
                    if (Kind(line) == 40) return true;
                return false;
            }(),
            kWait);
        QVERIFY(sim.InjectFault(QStringLiteral("clear")));  // stops pushing too
        const int stopped = sim.PushedReports();
        QTRY_COMPARE_WITH_TIMEOUT(panel.LineCount(), stopped + 1, kWait);
    }
};

QTEST_GUILESS_MAIN(TestSimPush)
#include "tst_sim_push.moc"

// The plant model, the pressure encoding and the answers to frames, without a line.
#include <QTest>
#include <cmath>
#include <limits>

#include "sim/plant.h"
#include "sim/replies.h"
#include "sim/responder.h"

using vp::sim::Gauge;
using vp::sim::Mode;
using vp::sim::Plant;
using vp::sim::TmpState;
using vp::sim::Valve;

Q_DECLARE_METATYPE(TmpState)

class TestSimModel : public QObject {
    Q_OBJECT

private slots:
    void tmpGoesThroughItsStates() {
        Plant plant;
        QCOMPARE(plant.TmpStateOf(0), TmpState::kStopped);
        plant.SwitchTmp(0, true);
        plant.Advance(0.5);
        QCOMPARE(plant.TmpStateOf(0), TmpState::kAccelerating);
        const int early = plant.TmpSpeedPercent(0);
        QVERIFY(early > 0 && early < 100);
        plant.Advance(5);
        QVERIFY(plant.TmpSpeedPercent(0) > early);
        plant.Advance(10);
        QCOMPARE(plant.TmpStateOf(0), TmpState::kStarted);
        QCOMPARE(plant.TmpSpeedPercent(0), 100);
        QCOMPARE(plant.TmpStateOf(1), TmpState::kStopped);  // the other pump was not asked

        plant.SwitchTmp(0, false);
        plant.Advance(0.5);
        QCOMPARE(plant.TmpStateOf(0), TmpState::kStopping);
        plant.Advance(30);
        QCOMPARE(plant.TmpStateOf(0), TmpState::kStopped);
        QCOMPARE(plant.TmpSpeedPercent(0), 0);
    }

    void switchingOnWhileStoppingAcceleratesAgain() {
        Plant plant;
        plant.SwitchTmp(1, true);
        plant.Advance(20);
        plant.SwitchTmp(1, false);
        plant.Advance(2);
        QCOMPARE(plant.TmpStateOf(1), TmpState::kStopping);
        plant.SwitchTmp(1, true);
        plant.Advance(0.1);
        QCOMPARE(plant.TmpStateOf(1), TmpState::kAccelerating);
    }

    void tmpRunsToTheModesSetPoint_data() {
        QTest::addColumn<int>("modeCommand");
        QTest::addColumn<int>("expected");
        QTest::newRow("Idle uses the general set-point") << 0 << 70;
        QTest::newRow("High vacuum") << 1 << 90;
        QTest::newRow("Glow discharge") << 5 << 30;
    }
    void tmpRunsToTheModesSetPoint() {
        QFETCH(int, modeCommand);
        QFETCH(int, expected);
        Plant plant;
        QVERIFY(plant.SetTmpSpeed(70));
        QVERIFY(plant.SetHighVacuumSpeed(90));
        QVERIFY(plant.SetGlowDischargeSpeed(30));
        plant.RequestMode(static_cast<Mode>(modeCommand));
        plant.SwitchTmp(0, true);
        plant.Advance(60);
        QCOMPARE(plant.TmpSetPercent(), expected);
        QCOMPARE(plant.TmpSpeedPercent(0), expected);
        QCOMPARE(plant.TmpStateOf(0), TmpState::kStarted);
    }

    void setPointsOutsideTheRangeAreRefused_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("taken");
        QTest::newRow("19") << 19 << false;
        QTest::newRow("20") << 20 << true;
        QTest::newRow("100") << 100 << true;
        QTest::newRow("101") << 101 << false;
    }
    void setPointsOutsideTheRangeAreRefused() {
        QFETCH(int, percent);
        QFETCH(bool, taken);
        Plant plant;
        QCOMPARE(plant.SetTmpSpeed(percent), taken);
        QCOMPARE(plant.SetGlowDischargeSpeed(percent), taken);
        QCOMPARE(plant.SetHighVacuumSpeed(percent), taken);
        QCOMPARE(plant.TmpSpeed() == percent, taken);
    }

    void currentModeFollowsAfterAMoment() {
        Plant plant;
        plant.RequestMode(Mode::kStop);
        plant.Advance(Plant::kModeChangeSeconds / 2);
        QCOMPARE(plant.CurrentMode(), Mode::kIdle);
        QCOMPARE(plant.RequestedMode(), Mode::kStop);
        plant.Advance(Plant::kModeChangeSeconds);
        QCOMPARE(plant.CurrentMode(), Mode::kStop);
    }

    void mechanicalValvesHaveNoCommand() {
        Plant plant;
        const bool before_1v2 = plant.ValveOpen(Valve::k1V2);
        const bool before_2v2 = plant.ValveOpen(Valve::k2V2);
        plant.SetValve(Valve::k1V2, !before_1v2);
        plant.SetValve(Valve::k2V2, !before_2v2);
        QCOMPARE(plant.ValveOpen(Valve::k1V2), before_1v2);
        QCOMPARE(plant.ValveOpen(Valve::k2V2), before_2v2);
        plant.SetValve(Valve::k3V1, true);
        QVERIFY(plant.ValveOpen(Valve::k3V1));
    }

    void oddTimeStepsAreIgnored_data() {
        QTest::addColumn<double>("seconds");
        QTest::newRow("negative") << -5.0;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
    }
    void oddTimeStepsAreIgnored() {
        QFETCH(double, seconds);
        Plant plant;
        plant.Advance(seconds);
        QCOMPARE(plant.Time(), 0.0);
    }

    void hugeTimeStepsStayBounded() {
        Plant plant;
        plant.SwitchRotary(true);
        plant.Advance(1e15);
        QVERIFY(plant.Time() <= 1e7);
        QVERIFY(std::isfinite(plant.GaugeLog10(Gauge::kTG1)));
        for (int t = 0; t < vp::sim::kTmpCount; ++t)
            QVERIFY(plant.TmpErrors(t) <= vp::sim::kMaxCount);
    }

    void roughingAloneStopsAboveTurboPressures() {
        Plant plant;
        plant.SwitchRotary(true);
        plant.Advance(300);
        const double roughed = plant.GaugeLog10(Gauge::kTG1);
        QVERIFY(roughed < 0 && roughed > -4);
        plant.SwitchTmp(0, true);
        plant.Advance(300);
        QVERIFY(plant.GaugeLog10(Gauge::kTG1) < roughed - 3);
        QVERIFY(plant.GaugeLog10(Gauge::k1G1) < roughed - 3);
        QVERIFY(plant.GaugeLog10(Gauge::k2G1) > roughed - 1);  // TMP2 stands still
    }

    void chillerDecidesTheCooling() {
        Plant plant;
        QVERIFY(plant.CoolingGood());
        plant.SwitchChiller(false);
        QVERIFY(!plant.CoolingGood());
    }

    void pressureFieldEncodesMantissaAndExponent_data() {
        QTest::addColumn<double>("log10");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("atmosphere") << Plant::kAtmosphereLog10 << QByteArray("101323");
        QTest::newRow("one mbar") << 0.0 << QByteArray("100020");
        QTest::newRow("5E-3") << std::log10(5e-3) << QByteArray("500017");
        QTest::newRow("rounding carries into the exponent")
            << std::log10(9.9996) << QByteArray("100021");
        QTest::newRow("below the field's range") << -25.0 << QByteArray("100000");
        QTest::newRow("above the field's range") << 100.0 << QByteArray("999999");
        QTest::newRow("NaN reads as atmosphere")
            << std::numeric_limits<double>::quiet_NaN() << QByteArray("101323");
    }
    void pressureFieldEncodesMantissaAndExponent() {
        QFETCH(double, log10);
        QFETCH(QByteArray, field);
        QCOMPARE(vp::sim::PressureField(log10), field);
    }

    // Whatever the byte, a frame gets one short answer of a known shape, never a crash.
    void everyByteValueGetsOneShortAnswer() {
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            for (const QByteArray& body : {QByteArray("12") + byte + '_', QByteArray("080_") + byte,
                                           QByteArray(1, byte), QByteArray()}) {
                Plant plant;
                const QByteArray frame =
                    body + QByteArray::number(vp::sim::Checksum(body)).rightJustified(3, '0');
                const vp::sim::Reply reply = vp::sim::Respond(plant, frame);
                QVERIFY2(reply.frame_ok, frame.toHex().constData());
                QCOMPARE(reply.body.size(), 5);
                QCOMPARE(reply.body[3], '_');
                const int code = static_cast<unsigned char>(reply.body[4]);
                QVERIFY2(code == 150 || code == 152 || code == 156, frame.toHex().constData());
            }
            Plant plant;
            const vp::sim::Reply cut = vp::sim::Respond(plant, QByteArray(2, byte));
            QVERIFY(!cut.frame_ok);
            QCOMPARE(static_cast<unsigned char>(cut.body[4]), 155);
        }
    }
};

QTEST_GUILESS_MAIN(TestSimModel)
#include "tst_sim_model.moc"

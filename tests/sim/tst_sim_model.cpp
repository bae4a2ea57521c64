// The plant model, the pressure encoding and the answers to frames, without a line.
#include <QTest>
#include <cmath>
#include <limits>

#include "sim/plant.h"
#include "sim/replies.h"
#include "sim/responder.h"

using vp::sim::Plant;
using vp::sim::TmpState;

class TestSimModel : public QObject {
    Q_OBJECT

private slots:
    void tmpGoesThroughItsStates() {
        Plant plant;
        plant.SwitchTmp(0, true);
        plant.Advance(0.5);
        QCOMPARE(plant.TmpStateOf(0), TmpState::kAccelerating);
        plant.Advance(15);
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

    // Time comes from the caller: odd steps must neither stall nor blow up the model.
    void oddTimeStepsAreIgnoredAndHugeOnesBounded() {
        for (double odd : {-5.0, std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()}) {
            Plant plant;
            plant.Advance(odd);
            QCOMPARE(plant.Time(), 0.0);
        }
        Plant plant;
        plant.SwitchRotary(true);
        plant.Advance(1e15);
        QVERIFY(plant.Time() <= 1e7);
        QVERIFY(std::isfinite(plant.GaugeLog10(vp::sim::Gauge::kTG1)));
        for (int t = 0; t < vp::sim::kTmpCount; ++t)
            QVERIFY(plant.TmpErrors(t) <= vp::sim::kMaxCount);
    }

    void pressureFieldEncodesMantissaAndExponent_data() {
        QTest::addColumn<double>("log10");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("atmosphere") << Plant::kAtmosphereLog10 << QByteArray("101323");
        QTest::newRow("one mbar") << 0.0 << QByteArray("100020");
        QTest::newRow("5E-3") << std::log10(5e-3) << QByteArray("500017");
        QTest::newRow("rounding carries") << std::log10(9.9996) << QByteArray("100021");
        QTest::newRow("below the range") << -25.0 << QByteArray("100000");
        QTest::newRow("above the range") << 100.0 << QByteArray("999999");
        QTest::newRow("NaN reads as atmosphere")
            << std::numeric_limits<double>::quiet_NaN() << QByteArray("101323");
    }
    void pressureFieldEncodesMantissaAndExponent() {
        QFETCH(double, log10);
        QTEST(vp::sim::PressureField(log10), "field");
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

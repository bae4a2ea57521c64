// SPDX-License-Identifier: MIT
// The simulated controller: its plant model, the pressure encoding, the answers to frames and the
// fault requests without a line, then seen from a real serial port on its pseudo-terminal.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>
#include <memory>

#include "controller_line.h"
#include "sim/faults.h"
#include "sim/plant.h"
#include "sim/replies.h"
#include "sim/responder.h"
#include "sim/simulated_controller.h"

using namespace simtest;
using B = QByteArray;
using vp::sim::Plant;
using vp::sim::TmpState;

namespace {

constexpr int kWait = 5000;

// Every field of an 81-character status report holds a value the panel knows.
QString StatusProblem(const QByteArray& line) {
    if (line.size() != 81) return QStringLiteral("length %1").arg(line.size());
    if (!ChecksumOk(line)) return QStringLiteral("checksum");
    if (line.left(3) != "111" || CodeAt(line, 5) != 150) return QStringLiteral("header");
    const auto in = [&](int p, int low, int high) {
        return CodeAt(line, p) >= low && CodeAt(line, p) <= high;
    };
    for (int state : {6, 13, 20, 27}) {
        if (!in(state, 150, 150) || !IsDigits(FieldAt(line, state + 1, 6)))
            return QStringLiteral("gauge at %1").arg(state);
    }
    for (int p = 34; p <= 41; ++p)
        if (!in(p, 190, 191)) return QStringLiteral("valve at %1").arg(p);
    if (!in(42, 193, 196) || !in(49, 193, 196)) return QStringLiteral("TMP");
    for (int speed : {43, 46, 50, 53, 56, 59})
        if (!IsDigits(FieldAt(line, speed, 3))) return QStringLiteral("speed at %1").arg(speed);
    if (CodeAt(line, 62) != 193 && CodeAt(line, 62) != 196) return QStringLiteral("rotary");
    if (!in(63, 199, 204) || !in(64, 199, 204)) return QStringLiteral("mode");
    if (!in(65, 207, 207) || !in(66, 208, 209)) return QStringLiteral("pneumatics or cooling");
    if (!in(67, 205, 206) || !in(68, 205, 206)) return QStringLiteral("branch");
    if (!IsDigits(FieldAt(line, 69, 10))) return QStringLiteral("uptime");
    return {};
}

// A command, the one that undoes it, and the report position both show at.
struct Switch {
    QByteArray on, off;
    int position = 0, onCode = 0, offCode = 0;
};

}  // namespace

Q_DECLARE_METATYPE(Switch)

class TestSimSerial : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<vp::sim::SimulatedController> sim_;
    std::unique_ptr<PanelEnd> panel_;

    // One command out, its lines back; empty on time-out.
    QList<QByteArray> Ask(const QByteArray& body, int lines = 1) {
        panel_->Clear();
        panel_->Send(body);
        if (!QTest::qWaitFor([&] { return panel_->LineCount() >= lines; }, kWait))
            qWarning("no reply to %s", body.constData());
        return panel_->Lines();
    }
    QByteArray Status() { return Ask("111_").value(0); }
    bool Acked(const QByteArray& command) {
        const QByteArray line = Ask(command).value(0);
        return line.size() == 8 && ChecksumOk(line) && Kind(line) == Kind(command) &&
               CodeAt(line, 5) == 150;
    }

private slots:
    void init() {
        sim_ = std::make_unique<vp::sim::SimulatedController>();
        const vp::Result<> started = sim_->Start();
        QVERIFY2(started.ok(), qPrintable(started.ok() ? QString() : started.error()));
        panel_ = std::make_unique<PanelEnd>();
        QVERIFY(panel_->Open(sim_->DevicePath()));
    }
    void cleanup() {
        panel_.reset();
        sim_.reset();
    }

    void tmpStatesAndOddTimeSteps() {
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

        // Time comes from the caller: odd steps must neither stall nor blow up the model.
        for (double odd : {-5.0, std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()}) {
            const double before = plant.Time();
            plant.Advance(odd);
            QCOMPARE(plant.Time(), before);
        }
        plant.SwitchRotary(true);
        const double before = plant.Time();
        plant.Advance(1e15);
        QVERIFY(plant.Time() - before <= 1e7);
        QVERIFY(std::isfinite(plant.GaugeLog10(vp::sim::Gauge::kTG1)));
        for (int t = 0; t < vp::sim::kTmpCount; ++t)
            QVERIFY(plant.TmpErrors(t) <= vp::sim::kMaxCount);
    }

    void pressureFieldEncodesMantissaAndExponent_data() {
        QTest::addColumn<double>("log10");
        QTest::addColumn<QByteArray>("field");
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

    void countRepliesHaveTheirLayoutAndReset_data() {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("reset");  // empty: the count has no reset
        QTest::addColumn<int>("digits");        // fields times their width
        QTest::newRow("040 operating hours") << B("040_") << B() << 2 * 6;
        QTest::newRow("038 TMP errors") << B("038_") << B("039_") << 2 * 5;
        QTest::newRow("090 gauge errors") << B("090_") << B("091_") << 4 * 5;
        QTest::newRow("092 icpcon errors") << B("092_") << B("093_") << 5 * 5;
    }
    void countRepliesHaveTheirLayoutAndReset() {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, reset);
        QFETCH(int, digits);
        sim_->plant().Advance(4 * 3600);  // counts grow now and then
        const QByteArray line = Ask(query).value(0);
        QVERIFY2(line.size() == 5 + digits + 3 && ChecksumOk(line) && Kind(line) == Kind(query) &&
                     CodeAt(line, 5) == 150 && IsDigits(FieldAt(line, 6, digits)),
                 line.constData());
        if (reset.isEmpty()) return;
        QVERIFY2(FieldAt(line, 6, digits) != B(digits, '0'), line.constData());
        QVERIFY(Acked(reset));
        QCOMPARE(FieldAt(Ask(query).value(0), 6, digits), B(digits, '0'));
    }

    void refusedFramesGetErrorReports_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("badFrames");
        QTest::newRow("wrong checksum") << B("111_243\r") << 155 << 1;
        QTest::newRow("unknown command") << FrameCommand("999_") << 156 << 0;
        QTest::newRow("no underscore") << FrameCommand("1110") << 156 << 0;
        QTest::newRow("argument where none belongs") << FrameCommand("080_1") << 152 << 0;
        QTest::newRow("set-point too short") << FrameCommand("036_50") << 152 << 0;
        QTest::newRow("set-point above 100") << FrameCommand("037_101") << 157 << 0;
        QTest::newRow("set-point below 20") << FrameCommand("034_019") << 157 << 0;
    }
    void refusedFramesGetErrorReports() {
        QFETCH(QByteArray, frame);
        panel_->SendRaw(frame);
        QTRY_COMPARE_WITH_TIMEOUT(panel_->LineCount(), 1, kWait);
        const QByteArray line = panel_->Lines()[0];
        QVERIFY(line.size() == 8 && ChecksumOk(line) && line.left(3) == frame.left(3));
        QTEST(CodeAt(line, 5), "code");
        QTEST(sim_->BadFramesReceived(), "badFrames");
        QCOMPARE(sim_->FramesReceived(), 1);
    }

    void overlongGarbageCostsOneErrorReport() {
        panel_->SendRaw(B(1500, 'A') + '\r' + FrameCommand("111_"));
        QTRY_COMPARE_WITH_TIMEOUT(panel_->LineCount(), 2, kWait);
        QCOMPARE(CodeAt(panel_->Lines()[0], 5), 155);
        QCOMPARE(StatusProblem(panel_->Lines()[1]), QString());
        // A plant just switched on stands at atmosphere: 1.013E3 mbar.
        QCOMPARE(FieldAt(panel_->Lines()[1], 7, 6), B("101323"));
    }

    // Each kind of command is acknowledged, shows in the next report, and its partner undoes it.
    void commandsShowInTheReport_data() {
        QTest::addColumn<Switch>("command");
        QTest::newRow("3V1") << Switch{"060_", "061_", 34, 191, 190};
        QTest::newRow("rotary") << Switch{"109_", "110_", 62, 196, 193};
        QTest::newRow("chiller") << Switch{"085_", "084_", 66, 208, 209};
        QTest::newRow("branch 1") << Switch{"130_", "132_", 67, 205, 206};
        QTest::newRow("TMP1 on") << Switch{"080_", "", 42, 194};
        QTest::newRow("request High vacuum") << Switch{"121_", "", 64, 200};
        QTest::newRow("TG1 degas") << Switch{"101_", "", 6, 150};
        QTest::newRow("glow discharge set-point") << Switch{"036_075", "", 56};
    }
    void commandsShowInTheReport() {
        QFETCH(Switch, command);
        QVERIFY(Acked(command.on));
        const QByteArray line = Status();
        if (command.on.size() > 4)  // a set-point shows as its digits
            QCOMPARE(FieldAt(line, command.position, 3), command.on.mid(4));
        else
            QCOMPARE(CodeAt(line, command.position), command.onCode);
        if (command.off.isEmpty()) return;
        QVERIFY(Acked(command.off));
        QCOMPARE(CodeAt(Status(), command.position), command.offCode);
    }

    // Every byte value but CR passes the line unchanged (the result byte and noise use codes
    // above 127); the bodies are kept in order, a badly signed one too, and bounded.
    void receivedBodiesAreKeptInOrderAndBounded() {
        QSignalSpy spy(sim_.get(), &vp::sim::SimulatedController::BodyReceived);
        QByteArray all("999_");
        for (int b = 0; b < 256; ++b)
            if (b != '\r') all.append(static_cast<char>(b));
        panel_->Send(all);
        panel_->SendRaw("040_999\r");
        QTRY_COMPARE_WITH_TIMEOUT(sim_->FramesReceived(), 2, kWait);
        QCOMPARE(sim_->ReceivedBodies(), (QList<QByteArray>{all, "040_"}));
        QCOMPARE(sim_->BadFramesReceived(), 1);
        QCOMPARE(spy.count(), 2);

        QByteArray burst;
        for (int i = 0; i < 1100; ++i) burst += FrameCommand("084_");
        panel_->SendRaw(burst + FrameCommand("085_"));
        QTRY_COMPARE_WITH_TIMEOUT(sim_->FramesReceived(), 1103, kWait);
        QCOMPARE(sim_->ReceivedBodies().size(), 1000);
        QCOMPARE(sim_->ReceivedBodies().last(), B("085_"));
    }

    // What each fault does to the replies is checked through the panel, in the fault tests; here,
    // that a split reply really comes in pieces, and that "clear" disarms what is pending.
    void faultsSplitAndClear() {
        QVERIFY(sim_->InjectFault("split").ok());
        QCOMPARE(StatusProblem(Status()), QString());
        QVERIFY2(panel_->ready_reads > 1, "the reply arrived in one piece");
        QVERIFY(sim_->InjectFault("silence=3600").ok() && sim_->InjectFault("bad-checksum").ok());
        panel_->Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(sim_->FramesReceived(), 2, kWait);
        QVERIFY(sim_->InjectFault("clear").ok());
        QCOMPARE(StatusProblem(Status()), QString());
    }

    // Each fault's value is checked against its range; a refused request arms nothing.
    void faultRequests_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("rate");
        QTest::newRow("top") << "push=10000000" << true << 10000000;
        QTest::newRow("above top") << "push=10000001" << false << 0;
        QTest::newRow("negative") << "push=-1" << false << 0;
        QTest::newRow("not a number") << "push=fast" << false << 0;
        QTest::newRow("no such fault") << "meltdown" << false << 0;
        QTest::newRow("error code 150 is no error") << "error-report=150" << false << 0;
        QTest::newRow("warning kind out of range") << "warning=237" << false << 0;
        QTest::newRow("flood of none") << "flood=0" << false << 0;
        QTest::newRow("value on a plain fault") << "split=2" << false << 0;
    }
    void faultRequests() {
        QFETCH(QString, request);
        QFETCH(bool, accepted);
        vp::sim::Faults faults;
        const vp::Result<> injected = faults.Inject(request, 0);
        QCOMPARE(injected.ok(), accepted);
        QTEST(faults.PushRate(), "rate");
        if (!accepted)
            QVERIFY2(
                injected.error().contains(request.section('=', 0, 0)) && !faults.Pending().Any(),
                qPrintable(injected.error()));
    }

    // Unasked status reports at a line's pace: what the full-rate benchmark and the floods rely on.
    void pushedReportsArriveWholeAndCounted() {
        // 82,000 bit/s carries a hundred reports a second.
        QVERIFY(sim_->InjectFault("push=82000").ok());
        QTRY_VERIFY_WITH_TIMEOUT(panel_->LineCount() >= 30, kWait);
        QVERIFY(sim_->InjectFault("push=0").ok());
        const int pushed = sim_->PushedReports();
        QTRY_COMPARE_WITH_TIMEOUT(panel_->LineCount(), pushed, kWait);
        for (const QByteArray& line : panel_->Lines()) QCOMPARE(StatusProblem(line), QString());
        QCOMPARE(sim_->StatusReportsSent(), pushed);
        QCOMPARE(sim_->DroppedBytes(), 0);
        // Polls are still answered while reports are pushed.
        QVERIFY(sim_->InjectFault("push=82000").ok());
        panel_->Send("040_");
        QTRY_VERIFY_WITH_TIMEOUT(panel_->raw.contains("\r040_"), kWait);
        QVERIFY(sim_->InjectFault("clear").ok());  // stops pushing too
        const int stopped = sim_->PushedReports();
        QTRY_COMPARE_WITH_TIMEOUT(panel_->LineCount(), stopped + 1, kWait);
    }

    // Two sessions a month apart in one record: the second follows after a short pause.
    void longPausesOfAReplayAreCut() {
        constexpr qint64 kSession = 1'765'000'000'000, kMonth = 31LL * 24 * 3600 * 1000;
        QCOMPARE(sim_->Replay({{kSession, "221_1"}, {kSession + kMonth, "222_2"}}, false, 50), 1);
        panel_->Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(panel_->LineCount(), 2, kWait);
        QCOMPARE(panel_->Lines(), (QList<QByteArray>{"221_1", "222_2"}));
    }

    // A link a stopped run left behind is replaced; one into a missing folder is refused.
    void staleLinkIsReplaced() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyVACUUM"));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/999999"), link));
        QVERIFY(sim_->MakeLink(link).ok());
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim_->DevicePath());
        QVERIFY(!sim_->MakeLink(dir.filePath(QStringLiteral("missing/dir/link"))).ok());
    }
};

QTEST_GUILESS_MAIN(TestSimSerial)
#include "tst_sim_serial.moc"

// The simulated controller seen from a real serial port on its pseudo-terminal.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "controller_line.h"
#include "sim/simulated_controller.h"

using simtest::ChecksumOk;
using simtest::CodeAt;
using simtest::FieldAt;
using simtest::IsDigits;
using simtest::Kind;
using simtest::PanelEnd;

namespace {

constexpr int kWait = 5000;

// Every field of an 81-character status report holds a value the panel knows.
QString StatusProblem(const QByteArray& line) {
    if (line.size() != 81) return QStringLiteral("length %1").arg(line.size());
    if (!ChecksumOk(line)) return QStringLiteral("checksum");
    if (line.left(3) != "111" || CodeAt(line, 5) != 150) return QStringLiteral("header");
    for (int state : {6, 13, 20, 27}) {
        if (CodeAt(line, state) != 150) return QStringLiteral("gauge state at %1").arg(state);
        if (!IsDigits(FieldAt(line, state + 1, 6)))
            return QStringLiteral("gauge value at %1").arg(state);
    }
    for (int p = 34; p <= 41; ++p) {
        if (CodeAt(line, p) != 190 && CodeAt(line, p) != 191)
            return QStringLiteral("valve at %1").arg(p);
    }
    for (int state : {42, 49}) {
        if (CodeAt(line, state) < 193 || CodeAt(line, state) > 196)
            return QStringLiteral("TMP at %1").arg(state);
    }
    for (int speed : {43, 46, 50, 53, 56, 59}) {
        if (!IsDigits(FieldAt(line, speed, 3))) return QStringLiteral("speed at %1").arg(speed);
    }
    if (CodeAt(line, 62) != 193 && CodeAt(line, 62) != 196) return QStringLiteral("rotary");
    for (int mode : {63, 64}) {
        if (CodeAt(line, mode) < 199 || CodeAt(line, mode) > 204)
            return QStringLiteral("mode at %1").arg(mode);
    }
    if (CodeAt(line, 65) != 207) return QStringLiteral("pneumatics");
    if (CodeAt(line, 66) != 208 && CodeAt(line, 66) != 209) return QStringLiteral("cooling");
    for (int branch : {67, 68}) {
        if (CodeAt(line, branch) != 205 && CodeAt(line, branch) != 206)
            return QStringLiteral("branch");
    }
    if (!IsDigits(FieldAt(line, 69, 10))) return QStringLiteral("uptime");
    return {};
}

bool IsAck(const QByteArray& line, int kind) {
    return line.size() == 8 && ChecksumOk(line) && Kind(line) == kind && CodeAt(line, 5) == 150;
}

}  // namespace

class TestSimSerial : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<vp::sim::SimulatedController> sim_;
    std::unique_ptr<PanelEnd> panel_;

    // One command out, its lines back; empty on time-out.
    QList<QByteArray> Ask(const QByteArray& body, int lines = 1) {
        panel_->Clear();
        panel_->Send(body);
        if (!QTest::qWaitFor([&] { return panel_->LineCount() >= lines; }, kWait)) {
            qWarning("no reply to %s", body.constData());
        }
        return panel_->Lines();
    }

    QByteArray Status() {
        const QList<QByteArray> lines = Ask("111_");
        return lines.isEmpty() ? QByteArray() : lines.last();
    }

private slots:
    void init() {
        sim_ = std::make_unique<vp::sim::SimulatedController>();
        QString error;
        QVERIFY2(sim_->Start(&error), qPrintable(error));
        panel_ = std::make_unique<PanelEnd>();
        QVERIFY(panel_->Open(sim_->DevicePath()));
    }

    void cleanup() {
        panel_.reset();
        sim_.reset();
    }

    void statusReportHasKnownCodesInEveryField() {
        const QByteArray line = Status();
        QCOMPARE(StatusProblem(line), QString());
        QCOMPARE(panel_->Lines().size(), 1);  // nothing echoed, nothing extra
        QCOMPARE(sim_->StatusReportsSent(), 1);
        // A plant just switched on stands at atmosphere: 1.013E3 mbar.
        QCOMPARE(FieldAt(line, 7, 6), QByteArray("101323"));
        QCOMPARE(CodeAt(line, 37), 190);  // 1V2, a mechanical valve, rests closed
    }

    void countRepliesHaveTheirLayout_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("fields");
        QTest::addColumn<int>("width");
        QTest::newRow("040 operating hours") << QByteArray("040_") << 2 << 6;
        QTest::newRow("038 TMP errors") << QByteArray("038_") << 2 << 5;
        QTest::newRow("092 icpcon errors") << QByteArray("092_") << 5 << 5;
        QTest::newRow("090 gauge errors") << QByteArray("090_") << 4 << 5;
    }
    void countRepliesHaveTheirLayout() {
        QFETCH(QByteArray, command);
        QFETCH(int, fields);
        QFETCH(int, width);
        const QList<QByteArray> lines = Ask(command);
        QCOMPARE(lines.size(), 1);
        const QByteArray& line = lines[0];
        QCOMPARE(line.size(), 5 + fields * width + 3);
        QVERIFY(ChecksumOk(line));
        QCOMPARE(line.left(3), command.left(3));
        QCOMPARE(CodeAt(line, 5), 150);
        QVERIFY(IsDigits(FieldAt(line, 6, fields * width)));
    }

    void operatingHoursAreThePlantsHours() {
        sim_->plant().SwitchTmp(0, true);
        sim_->plant().Advance(2 * 3600);
        const QByteArray line = Ask("040_").value(0);
        QCOMPARE(FieldAt(line, 6, 6).toInt(), sim_->plant().TmpOperatingHours(0));
        QCOMPARE(FieldAt(line, 12, 6).toInt(), sim_->plant().TmpOperatingHours(1));
        QVERIFY(sim_->plant().TmpOperatingHours(0) > sim_->plant().TmpOperatingHours(1) - 400);
    }

    void resetsClearTheirCounts_data() {
        QTest::addColumn<QByteArray>("reset");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<int>("fields");
        QTest::newRow("039 TMP") << QByteArray("039_") << QByteArray("038_") << 2;
        QTest::newRow("091 gauges") << QByteArray("091_") << QByteArray("090_") << 4;
        QTest::newRow("093 icpcon") << QByteArray("093_") << QByteArray("092_") << 5;
    }
    void resetsClearTheirCounts() {
        QFETCH(QByteArray, reset);
        QFETCH(QByteArray, query);
        QFETCH(int, fields);
        sim_->plant().Advance(4 * 3600);  // counts grow now and then
        const QByteArray before = FieldAt(Ask(query).value(0), 6, fields * 5);
        QVERIFY2(before != QByteArray(fields * 5, '0'), before.constData());
        QVERIFY(IsAck(Ask(reset).value(0), reset.left(3).toInt()));
        QCOMPARE(FieldAt(Ask(query).value(0), 6, fields * 5), QByteArray(fields * 5, '0'));
    }

    void refusedFramesGetErrorReports_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("badFrames");
        QTest::newRow("wrong checksum") << QByteArray("111_243\r") << QByteArray("111") << 155 << 1;
        QTest::newRow("checksum not digits")
            << QByteArray("111_2x2\r") << QByteArray("111") << 155 << 1;
        QTest::newRow("unknown command")
            << simtest::FrameCommand("999_") << QByteArray("999") << 156 << 0;
        QTest::newRow("gap in the gauge commands")
            << simtest::FrameCommand("108_") << QByteArray("108") << 156 << 0;
        QTest::newRow("no underscore")
            << simtest::FrameCommand("1110") << QByteArray("111") << 156 << 0;
        QTest::newRow("argument where none belongs")
            << simtest::FrameCommand("080_1") << QByteArray("080") << 152 << 0;
        QTest::newRow("set-point too short")
            << simtest::FrameCommand("036_50") << QByteArray("036") << 152 << 0;
        QTest::newRow("set-point above 100")
            << simtest::FrameCommand("037_101") << QByteArray("037") << 157 << 0;
        QTest::newRow("set-point below 20")
            << simtest::FrameCommand("034_019") << QByteArray("034") << 157 << 0;
    }
    void refusedFramesGetErrorReports() {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, kind);
        QFETCH(int, code);
        QFETCH(int, badFrames);
        panel_->SendRaw(frame);
        QTRY_COMPARE_WITH_TIMEOUT(panel_->LineCount(), 1, kWait);
        const QByteArray line = panel_->Lines()[0];
        QCOMPARE(line.size(), 8);
        QVERIFY(ChecksumOk(line));
        QCOMPARE(line.left(3), kind);
        QCOMPARE(CodeAt(line, 5), code);
        QCOMPARE(sim_->BadFramesReceived(), badFrames);
        QCOMPARE(sim_->FramesReceived(), 1);
    }

    void overlongGarbageCostsOneErrorReport() {
        panel_->SendRaw(QByteArray(1500, 'A') + '\r' + simtest::FrameCommand("111_"));
        QTRY_COMPARE_WITH_TIMEOUT(panel_->LineCount(), 2, kWait);
        QCOMPARE(CodeAt(panel_->Lines()[0], 5), 155);
        QCOMPARE(StatusProblem(panel_->Lines()[1]), QString());
    }

    void commandsAreAcknowledgedAndShowInTheReport_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("expected");
        QTest::newRow("3V1 open") << QByteArray("060_") << 34 << 191;
        QTest::newRow("1V1 open") << QByteArray("062_") << 35 << 191;
        QTest::newRow("2V1 open") << QByteArray("064_") << 36 << 191;
        QTest::newRow("1V3 open") << QByteArray("066_") << 39 << 191;
        QTest::newRow("rotary on") << QByteArray("109_") << 62 << 196;
        QTest::newRow("chiller stop") << QByteArray("085_") << 66 << 208;
        QTest::newRow("branch 1 on") << QByteArray("130_") << 67 << 205;
        QTest::newRow("branch 2 on") << QByteArray("131_") << 68 << 205;
        QTest::newRow("request High vacuum") << QByteArray("121_") << 64 << 200;
        QTest::newRow("request Glow discharge") << QByteArray("125_") << 64 << 204;
        QTest::newRow("TG1 degas") << QByteArray("101_") << 6 << 150;
        QTest::newRow("2G1 KK sensor on") << QByteArray("105_") << 20 << 150;
    }
    void commandsAreAcknowledgedAndShowInTheReport() {
        QFETCH(QByteArray, command);
        QFETCH(int, position);
        QFETCH(int, expected);
        QVERIFY(IsAck(Ask(command).value(0), command.left(3).toInt()));
        QCOMPARE(CodeAt(Status(), position), expected);
    }

    void closingCommandsUndoOpeningOnes_data() {
        QTest::addColumn<QByteArray>("on");
        QTest::addColumn<QByteArray>("off");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("offCode");
        QTest::newRow("3V1") << QByteArray("060_") << QByteArray("061_") << 34 << 190;
        QTest::newRow("1V1") << QByteArray("062_") << QByteArray("063_") << 35 << 190;
        QTest::newRow("2V1") << QByteArray("064_") << QByteArray("065_") << 36 << 190;
        QTest::newRow("1V3") << QByteArray("066_") << QByteArray("067_") << 39 << 190;
        QTest::newRow("rotary") << QByteArray("109_") << QByteArray("110_") << 62 << 193;
        QTest::newRow("chiller") << QByteArray("085_") << QByteArray("084_") << 66 << 209;
        QTest::newRow("branch 1") << QByteArray("130_") << QByteArray("132_") << 67 << 206;
        QTest::newRow("branch 2") << QByteArray("131_") << QByteArray("133_") << 68 << 206;
    }
    void closingCommandsUndoOpeningOnes() {
        QFETCH(QByteArray, on);
        QFETCH(QByteArray, off);
        QFETCH(int, position);
        QFETCH(int, offCode);
        Ask(on);
        QVERIFY(CodeAt(Status(), position) != offCode);
        QVERIFY(IsAck(Ask(off).value(0), off.left(3).toInt()));
        QCOMPARE(CodeAt(Status(), position), offCode);
    }

    void currentModeFollowsTheRequest() {
        Ask("122_");
        const QByteArray at_once = Status();
        QCOMPARE(CodeAt(at_once, 64), 201);
        QCOMPARE(CodeAt(at_once, 63), 199);
        sim_->plant().Advance(5);
        QCOMPARE(CodeAt(Status(), 63), 201);
    }

    void setPointsAreShown_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("position");
        QTest::newRow("036 glow discharge") << QByteArray("036_075") << 56;
        QTest::newRow("037 high vacuum") << QByteArray("037_020") << 59;
    }
    void setPointsAreShown() {
        QFETCH(QByteArray, command);
        QFETCH(int, position);
        QVERIFY(IsAck(Ask(command).value(0), command.left(3).toInt()));
        QCOMPARE(FieldAt(Status(), position, 3), command.mid(4, 3));
    }

    void tmpRunsUpAndDown_data() {
        QTest::addColumn<QByteArray>("on");
        QTest::addColumn<QByteArray>("off");
        QTest::addColumn<int>("position");
        QTest::newRow("TMP1") << QByteArray("080_") << QByteArray("081_") << 42;
        QTest::newRow("TMP2") << QByteArray("082_") << QByteArray("083_") << 49;
    }
    void tmpRunsUpAndDown() {
        QFETCH(QByteArray, on);
        QFETCH(QByteArray, off);
        QFETCH(int, position);
        QCOMPARE(CodeAt(Status(), position), 193);
        Ask("034_080");
        Ask(on);
        QCOMPARE(CodeAt(Status(), position), 194);
        sim_->plant().Advance(30);
        QByteArray line = Status();
        QCOMPARE(CodeAt(line, position), 196);
        QCOMPARE(FieldAt(line, position + 1, 6), QByteArray("080080"));  // actual and set speed
        Ask(off);
        sim_->plant().Advance(1);
        QCOMPARE(CodeAt(Status(), position), 195);
        sim_->plant().Advance(30);
        line = Status();
        QCOMPARE(CodeAt(line, position), 193);
        QCOMPARE(FieldAt(line, position + 1, 3), QByteArray("000"));
    }

    void pressuresFallWhilePumpingAndRiseAfter() {
        const auto tg1_exponent = [this] { return FieldAt(Status(), 11, 2).toInt() - 20; };
        QCOMPARE(tg1_exponent(), 3);
        Ask("109_");
        Ask("080_");
        sim_->plant().Advance(300);
        QVERIFY2(tg1_exponent() <= -5, "TG1 stays high with both pumps running");
        Ask("081_");
        Ask("110_");
        sim_->plant().Advance(600);
        QCOMPARE(tg1_exponent(), 3);
    }

    void uptimeCountsSeconds() {
        sim_->plant().Advance(125);
        const qint64 uptime = FieldAt(Status(), 69, 10).toLongLong();
        QVERIFY(uptime >= 125);
        QVERIFY(uptime < 200);
    }

    void receivedBodiesAreKeptInOrder() {
        QSignalSpy spy(sim_.get(), &vp::sim::SimulatedController::BodyReceived);
        Ask("111_");
        Ask("060_");
        panel_->SendRaw("040_999\r");
        QTRY_COMPARE_WITH_TIMEOUT(sim_->FramesReceived(), 3, kWait);
        const QList<QByteArray> expected{"111_", "060_", "040_"};
        QCOMPARE(sim_->ReceivedBodies(), expected);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.at(1).at(0).toByteArray(), QByteArray("060_"));
        QCOMPARE(sim_->BadFramesReceived(), 1);
    }

    void receivedBodiesAreBounded() {
        QByteArray burst;
        for (int i = 0; i < 1100; ++i) burst += simtest::FrameCommand("084_");
        panel_->SendRaw(burst + simtest::FrameCommand("085_"));
        QTRY_COMPARE_WITH_TIMEOUT(sim_->FramesReceived(), 1101, kWait);
        const QList<QByteArray> bodies = sim_->ReceivedBodies();
        QCOMPARE(bodies.size(), 1000);
        QCOMPARE(bodies.last(), QByteArray("085_"));
    }

    // Faults, each asked for by name.

    void faultBadChecksum() {
        QVERIFY(sim_->InjectFault("bad-checksum"));
        const QByteArray line = Status();
        QCOMPARE(line.size(), 81);
        QVERIFY(!ChecksumOk(line));
        QCOMPARE(StatusProblem(Status()), QString());  // only the next reply
    }

    void faultErrorReport() {
        QVERIFY(sim_->InjectFault("error-report=170"));
        const QByteArray line = Ask("111_").value(0);
        QCOMPARE(line.size(), 8);
        QVERIFY(ChecksumOk(line));
        QCOMPARE(Kind(line), 111);
        QCOMPARE(CodeAt(line, 5), 170);
        QCOMPARE(sim_->StatusReportsSent(), 0);
    }

    void faultWarning() {
        QVERIFY(sim_->InjectFault("warning=234"));
        const QList<QByteArray> lines = Ask("060_", 2);
        QCOMPARE(lines.size(), 2);
        QVERIFY(IsAck(lines[0], 60));
        QVERIFY(IsAck(lines[1], 234));
    }

    void faultWrongLength_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("80, one short") << 80;
        QTest::newRow("82, one long") << 82;
        QTest::newRow("3, checksum only") << 3;
    }
    void faultWrongLength() {
        QFETCH(int, length);
        QVERIFY(sim_->InjectFault(QStringLiteral("wrong-length=%1").arg(length)));
        const QByteArray line = Status();
        QCOMPARE(line.size(), length);
        QVERIFY(ChecksumOk(line));
    }

    void faultSilenceDropsRepliesForItsTime() {
        QVERIFY(sim_->InjectFault("silence=5"));
        panel_->Send("111_");
        panel_->Send("040_");
        QTRY_COMPARE_WITH_TIMEOUT(sim_->FramesReceived(), 2, kWait);
        sim_->plant().Advance(6);
        const QList<QByteArray> lines = Ask("111_");
        QCOMPARE(lines.size(), 1);  // replies go out in order: the two before were never sent
        QCOMPARE(StatusProblem(lines[0]), QString());
    }

    void faultSilenceEndsWithClear() {
        QVERIFY(sim_->InjectFault("silence=3600"));
        QVERIFY(sim_->InjectFault("bad-checksum"));
        panel_->Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(sim_->FramesReceived(), 1, kWait);
        QVERIFY(sim_->InjectFault("clear"));
        const QList<QByteArray> lines = Ask("111_");
        QCOMPARE(lines.size(), 1);
        QCOMPARE(StatusProblem(lines[0]), QString());  // the pending bad checksum went too
    }

    void faultNoiseComesBeforeAWholeReply() {
        QVERIFY(sim_->InjectFault("noise"));
        panel_->Send("111_");
        QTRY_VERIFY_WITH_TIMEOUT(panel_->LineCount() >= 2 && panel_->raw.endsWith('\r') &&
                                     StatusProblem(panel_->Lines().last()).isEmpty(),
                                 kWait);
        QVERIFY(panel_->raw.size() > 81 + 8);
    }

    void faultSplitWritesInPieces() {
        QVERIFY(sim_->InjectFault("split"));
        QVERIFY(sim_->InjectFault("warning=220"));
        const QList<QByteArray> lines = Ask("111_", 2);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(StatusProblem(lines[0]), QString());
        QVERIFY(IsAck(lines[1], 220));
        QVERIFY2(panel_->ready_reads > 1, "the reply arrived in one piece");
    }

    void faultFlood() {
        QVERIFY(sim_->InjectFault("flood=20"));
        const QList<QByteArray> lines = Ask("060_", 21);
        QCOMPARE(lines.size(), 21);
        QVERIFY(IsAck(lines[0], 60));
        for (qsizetype i = 1; i < lines.size(); ++i) QCOMPARE(StatusProblem(lines[i]), QString());
        QCOMPARE(sim_->StatusReportsSent(), 20);
    }

    void unknownFaultsAreRefused_data() {
        QTest::addColumn<QString>("request");
        QTest::newRow("no such fault") << "meltdown";
        QTest::newRow("error code 150 is no error") << "error-report=150";
        QTest::newRow("error code without value") << "error-report";
        QTest::newRow("warning kind out of range") << "warning=237";
        QTest::newRow("flood of none") << "flood=0";
        QTest::newRow("negative silence") << "silence=-1";
        QTest::newRow("length not a number") << "wrong-length=x";
        QTest::newRow("value on a plain fault") << "split=2";
    }
    void unknownFaultsAreRefused() {
        QFETCH(QString, request);
        QString error;
        QVERIFY(!sim_->InjectFault(request, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(StatusProblem(Status()), QString());  // nothing armed by a refused request
    }

    // The device's life.

    void portReopensWithoutEchoOrStaleBytes() {
        panel_->port.close();
        panel_ = std::make_unique<PanelEnd>();
        QVERIFY(panel_->Open(sim_->DevicePath()));
        const QList<QByteArray> lines = Ask("111_");
        QCOMPARE(lines.size(), 1);
        QCOMPARE(StatusProblem(lines[0]), QString());
    }

    void allByteValuesPassTheLine() {
        // The result byte and noise use codes above 127; the simulator reads them unchanged too.
        QByteArray body("999_");
        for (int b = 0; b < 256; ++b) {
            if (b != '\r') body.append(static_cast<char>(b));
        }
        panel_->Send(body);
        QTRY_COMPARE_WITH_TIMEOUT(sim_->FramesReceived(), 1, kWait);
        QCOMPARE(sim_->ReceivedBodies().value(0), body);
        QCOMPARE(sim_->BadFramesReceived(), 0);
    }

    void stopMakesTheDeviceVanishAndStartBringsItBack() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyVACUUM"));
        QVERIFY(sim_->MakeLink(link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim_->DevicePath());
        QCOMPARE(StatusProblem(Status()), QString());

        QSignalSpy errors(&panel_->port, &QSerialPort::errorOccurred);
        sim_->Stop();
        QTRY_VERIFY_WITH_TIMEOUT(panel_->port.error() == QSerialPort::ResourceError ||
                                     panel_->port.error() == QSerialPort::ReadError,
                                 kWait);
        QVERIFY(!errors.isEmpty());
        QVERIFY(!QFileInfo::exists(link));
        QVERIFY(sim_->DevicePath().isEmpty());

        QString error;
        QVERIFY2(sim_->Start(&error), qPrintable(error));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim_->DevicePath());
        panel_ = std::make_unique<PanelEnd>();
        QVERIFY(panel_->Open(link));
        QCOMPARE(StatusProblem(Status()), QString());
    }

    void linkReplacesWhatIsThere() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyVACUUM"));
        QFile stale(link);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        QVERIFY(sim_->MakeLink(link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim_->DevicePath());
        QString error;
        QVERIFY(!sim_->MakeLink(dir.filePath(QStringLiteral("missing/dir/link")), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimSerial)
#include "tst_sim_serial.moc"

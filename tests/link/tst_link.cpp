// The serial link through the real window and a real port on a pseudo-terminal: frames on the
// wire, what arrives cut into messages, connect and disconnect with every status text, the
// connection display, the polls, the lamps and the watchdog. Tick handlers are called directly.
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "panel/form1.h"
#include "support/pseudo_terminal.h"

using vp::panel::Form1;

namespace {

QByteArray Framed(QByteArray body) {
    unsigned sum = 0;
    for (char c : body) sum += static_cast<unsigned char>(c);
    return body + QByteArray::number(sum % 256).rightJustified(3, '0') + '\r';
}

// The tests drive every tick themselves; the window's own timers would only add polls.
void StopTimers(Form1& form) {
    for (QTimer* t : {form.Timer1, form.Timer2, form.Timer3, form.Timer4, form.Timer5,
                      form.tmrTMPOperatingHours, form.tmrLogData})
        t->stop();
}

}  // namespace

class TestLink : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void framesOnTheWire_data();
    void framesOnTheWire();
    void sendingWhileClosedOnlySaysSo();
    void aFrameTheLineRefusesIsNotCounted();
    void arrivalsAreCutIntoMessages_data();
    void arrivalsAreCutIntoMessages();
    void countersStopAtTheTop();

    void connectAndDisconnectTexts();
    void connectToAMissingPort();
    void connectToAHeldPort();
    void connectionDisplayFollowsThePort();
    void vanishingDeviceClosesThePortOnce();

    void pollsSendNothingWhileClosed();
    void pollsWhileOpen();
    void lampsGoOutAtTheirTick();
    void watchdogGreysOnlyAfterASilentPeriod();

private:
    void Open() {
        form->connection().cmdConnect_Click();
        QVERIFY(form->MSComm1->PortOpen());
    }
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<Form1> form;
};

void TestLink::init() {
    pty = std::make_unique<PseudoTerminal>();
    QVERIFY(pty->ok());
    form = std::make_unique<Form1>(vp::link::PortNames{{3, pty->path()}});
    StopTimers(*form);
}

void TestLink::cleanup() {
    form.reset();
    pty.reset();
}

void TestLink::framesOnTheWire_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("status poll") << QByteArray("111_") << QByteArray("111_242\r");
    QTest::newRow("operating hours") << QByteArray("040_") << QByteArray("040_243\r");
    QTest::newRow("tmp errors") << QByteArray("038_") << QByteArray("038_250\r");
    QTest::newRow("icpcon errors") << QByteArray("092_") << QByteArray("092_250\r");
    QTest::newRow("gauge errors") << QByteArray("090_") << QByteArray("090_248\r");
    QTest::newRow("empty body") << QByteArray() << QByteArray("000\r");
    QTest::newRow("set-point") << QByteArray("037_075") << Framed("037_075");
}

void TestLink::framesOnTheWire() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, wire);
    Open();
    form->framing().SendCommand(body.toStdString());
    QTRY_COMPARE_WITH_TIMEOUT(pty->Received(), wire, 5000);
    QCOMPARE(form->shpSend->FillColor(), 0x0000FFFFu);
    QVERIFY(form->Timer3->isActive());
    QCOMPARE(form->lblSentMessages->Caption(), QStringLiteral("1 sent messages"));
    form->framing().SendCommand(body.toStdString());
    QCOMPARE(form->lblSentMessages->Caption(), QStringLiteral("2 sent messages"));
}

void TestLink::sendingWhileClosedOnlySaysSo() {
    form->framing().SendCommand("111_");
    QCOMPARE(form->txtStatus->text(), QStringLiteral("Not connected!"));
    QCOMPARE(form->lblSentMessages->Caption(), QStringLiteral("0 sent messages"));
    QCOMPARE(form->framing().SentMessageCount().value(), 0);
    QCOMPARE(form->shpSend->FillColor(), 0x80000004u);
    QVERIFY(!form->Timer3->isActive());
}

void TestLink::aFrameTheLineRefusesIsNotCounted() {
    Open();
    pty->Close();  // the far end is gone: the next write has nowhere to go
    form->framing().SendCommand("111_");
    QCOMPARE(form->framing().SentMessageCount().value(), 0);
    QCOMPARE(form->lblSentMessages->Caption(), QStringLiteral("0 sent messages"));
}

void TestLink::arrivalsAreCutIntoMessages_data() {
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<int>("handed");
    QTest::addColumn<QByteArray>("pending");
    const QByteArray a = Framed("500_a"), b = Framed("501_b"), c = Framed("502_c");
    QTest::newRow("one message") << QList<QByteArray>{a} << 1 << QByteArray();
    QTest::newRow("two and a half") << QList<QByteArray>{a + b + c.left(4)} << 2 << c.left(4);
    QTest::newRow("completed by the next arrival")
        << QList<QByteArray>{a + b + c.left(4), c.mid(4)} << 3 << QByteArray();
    QTest::newRow("split in the checksum")
        << QList<QByteArray>{a.left(6), a.mid(6)} << 1 << QByteArray();
    QTest::newRow("line feed starts the next message")
        << QList<QByteArray>{a + "\n" + b.left(2)} << 1 << QByteArray("\n" + b.left(2));
}

void TestLink::arrivalsAreCutIntoMessages() {
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(int, handed);
    QFETCH(QByteArray, pending);
    Open();
    for (const QByteArray& arrival : arrivals) {
        const int before = form->framing().ReceivedMessageCount().value();
        QVERIFY(pty->Write(arrival));
        // Each arrival is read whole or in pieces; wait until its complete lines are counted.
        const int lines = arrival.count('\r');
        QTRY_COMPARE_WITH_TIMEOUT(form->framing().ReceivedMessageCount().value(), before + lines,
                                  5000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(QByteArray::fromStdString(form->framing().rxBuffer().Pending()),
                              pending, 5000);
    QCOMPARE(form->framing().ReceivedMessageCount().value(), handed);
    QCOMPARE(form->lblReceivedMessages->Caption(), QString::number(handed) + " received messages");
    // Kinds without a handler are listed as received, newest first.
    QCOMPARE(form->lstMessages->count(), handed);
    QCOMPARE(form->lstMessages->item(0)->text().left(3), QString::number(499 + handed));
    QCOMPARE(form->shpRecv->FillColor(), 0x0000FF00u);
    QVERIFY(form->Timer4->isActive());
}

void TestLink::countersStopAtTheTop() {
    Open();
    form->framing().SentMessageCount().Set(2147483646);
    form->framing().ReceivedMessageCount().Set(2147483647);
    for (int i = 0; i < 3; ++i) form->framing().SendCommand("111_");
    QCOMPARE(form->lblSentMessages->Caption(), QStringLiteral("2147483647 sent messages"));
    form->framing().ReceiveText(Framed("500_") + Framed("501_"));
    QCOMPARE(form->framing().ReceivedMessageCount().value(), 2147483647);
    QCOMPARE(form->lstMessages->count(), 2);  // reception goes on
}

void TestLink::connectAndDisconnectTexts() {
    form->connection().cmdDisconnect_Click();
    QCOMPARE(form->txtStatus->text(), QStringLiteral("Port 3 not open"));
    form->connection().cmdConnect_Click();
    QCOMPARE(form->txtStatus->text(), QStringLiteral("Port 3 open successfully"));
    QVERIFY(form->MSComm1->PortOpen());
    form->txtStatus->clear();
    form->connection().cmdConnect_Click();  // already open: not reopened, same answer
    QCOMPARE(form->txtStatus->text(), QStringLiteral("Port 3 open successfully"));
    QVERIFY(form->MSComm1->PortOpen());
    form->connection().cmdDisconnect_Click();
    QCOMPARE(form->txtStatus->text(), QStringLiteral("Port 3 closed"));
    QVERIFY(!form->MSComm1->PortOpen());
    // Neither button touches counters or lamps.
    QCOMPARE(form->lblSentMessages->Caption(), QStringLiteral("0 sent messages"));
    QCOMPARE(form->shpSend->FillColor(), 0x80000004u);
}

void TestLink::connectToAMissingPort() {
    form->Combo3->setCurrentIndex(6);  // Com7: /dev/ttyS6 does not exist here
    form->connection().cmdConnect_Click();
    if (QFile::exists("/dev/ttyS6")) QSKIP("this machine has a /dev/ttyS6");
    QCOMPARE(form->txtStatus->text(), QStringLiteral("Port 7 does not exist"));
    QVERIFY(!form->MSComm1->PortOpen());
    form->connection().Timer2_Timer();
    QVERIFY(form->Combo1->isEnabled());
    QCOMPARE(form->lblStatus->Caption(), QStringLiteral("Disconnected"));
}

void TestLink::connectToAHeldPort() {
    vp::link::MSComm other({{1, pty->path()}});
    other.SetSettings("9600,n,8,1");
    QCOMPARE(other.SetPortOpen(true), 0);
    form->connection().cmdConnect_Click();
    QCOMPARE(form->txtStatus->text(), QStringLiteral("Port 3 is already open"));
    QVERIFY(!form->MSComm1->PortOpen());
}

void TestLink::connectionDisplayFollowsThePort() {
    form->Combo1->setCurrentIndex(1);  // 9600
    Open();
    form->connection().Timer2_Timer();
    QCOMPARE(form->lblStatus->Caption(), QStringLiteral("Connected"));
    QCOMPARE(form->lblComStatus->Caption(), QStringLiteral("Com3,9600,n,8,1"));
    for (auto* list : {form->Combo1, form->Combo2, form->Combo3}) QVERIFY(!list->isEnabled());
    form->connection().cmdDisconnect_Click();
    form->connection().Timer2_Timer();
    QCOMPARE(form->lblStatus->Caption(), QStringLiteral("Disconnected"));
    QCOMPARE(form->lblComStatus->Caption(), QStringLiteral("Com3,9600,n,8,1"));  // kept
    for (auto* list : {form->Combo1, form->Combo2, form->Combo3}) QVERIFY(list->isEnabled());
}

void TestLink::vanishingDeviceClosesThePortOnce() {
    QTemporaryDir dir;
    const QString link = dir.filePath("controller");
    QVERIFY(QFile::link(pty->path(), link));
    form = std::make_unique<Form1>(vp::link::PortNames{{3, link}});
    StopTimers(*form);
    Open();
    QSignalSpy events(form->MSComm1, &vp::link::MSComm::OnComm);

    pty->Close();
    QTRY_COMPARE_WITH_TIMEOUT(form->txtStatus->text(),
                              QStringLiteral("Port 3: Error reading comm device"), 5000);
    QVERIFY(!form->MSComm1->PortOpen());
    // One report, not a flood: the port is closed, so the failure cannot repeat however often
    // the event loop turns.
    for (int i = 0; i < 100; ++i) QCoreApplication::processEvents();
    QCOMPARE(events.count(), 1);

    // The device comes back under the same name: Connect works again.
    PseudoTerminal back;
    QVERIFY(back.ok());
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(back.path(), link));
    form->connection().cmdConnect_Click();
    QCOMPARE(form->txtStatus->text(), QStringLiteral("Port 3 open successfully"));
    form->framing().SendCommand("111_");
    QTRY_COMPARE_WITH_TIMEOUT(back.Received(), QByteArray("111_242\r"), 5000);
}

void TestLink::pollsSendNothingWhileClosed() {
    form->txtStatus->setText("untouched");
    form->polls().Timer1_Timer();
    QList<int> steps;
    for (int i = 0; i < 5; ++i) {
        steps << form->polls().SlowPollStep;
        form->polls().tmrTMPOperatingHours_Timer();
    }
    QCOMPARE(steps, (QList<int>{0, 1, 2, 3, 0}));
    QCOMPARE(form->txtStatus->text(), QStringLiteral("untouched"));
    QCOMPARE(form->framing().SentMessageCount().value(), 0);
}

void TestLink::pollsWhileOpen() {
    form->polls().tmrTMPOperatingHours_Timer();  // step 0 passes while closed
    Open();
    form->polls().Timer1_Timer();
    for (int i = 0; i < 4; ++i) form->polls().tmrTMPOperatingHours_Timer();
    QTRY_COMPARE_WITH_TIMEOUT(pty->Received(),
                              QByteArray("111_242\r038_250\r092_250\r090_248\r040_243\r"), 5000);
}

void TestLink::lampsGoOutAtTheirTick() {
    Open();
    form->framing().SendCommand("111_");
    form->framing().ReceiveText(Framed("500_"));
    QCOMPARE(form->shpSend->FillColor(), 0x0000FFFFu);
    QCOMPARE(form->shpRecv->FillColor(), 0x0000FF00u);
    form->polls().Timer3_Timer();
    QCOMPARE(form->shpSend->FillColor(), 0x80000004u);
    QVERIFY(!form->Timer3->isActive());
    QCOMPARE(form->shpRecv->FillColor(), 0x0000FF00u);
    form->polls().Timer4_Timer();
    QCOMPARE(form->shpRecv->FillColor(), 0x80000004u);
    QVERIFY(!form->Timer4->isActive());
}

void TestLink::watchdogGreysOnlyAfterASilentPeriod() {
    for (auto* s : form->Indicators()) s->SetFillColor(0x0000FF00);
    form->polls().MarkStatusSeen();
    form->polls().Timer5_Timer();  // a report came in this period: it is only consumed
    QCOMPARE(form->polls().StatusSeen, 0);
    QCOMPARE(form->shpTMP1->FillColor(), 0x0000FF00u);
    form->polls().Timer5_Timer();  // none since: grey
    for (auto* s : form->Indicators()) QCOMPARE(s->FillColor(), 0x80000011u);
}

QTEST_MAIN(TestLink)
#include "tst_link.moc"

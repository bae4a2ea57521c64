// The link without a window, on a real port over a pseudo-terminal: frames on the wire, what
// arrives cut into messages, connect and disconnect with every status text, the connection
// display, the polls and the watchdog, all read from the link's signals. Ticks are called
// directly; the link's timers never start.
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "link/link.h"
#include "protocol/lines.h"
#include "support/pseudo_terminal.h"

using vp::link::Link;
using vp::link::PortNames;
using namespace vp::test;

namespace {

QByteArray Line(const QByteArray& body) {
    return Signed(body) + '\r';
}

const QByteArray kReport = Line("111_" + Byte(150) + QByteArray(73, '0'));

// Everything the link said, in order.
struct Heard {
    QStringList texts;
    QList<QByteArray> messages;
    QList<int> sent, arrived;
    QList<QPair<bool, QString>> shown;
    int stale = 0;
};

}  // namespace

class TestLink : public QObject {
    Q_OBJECT

private slots:
    void init() {
        pty = std::make_unique<PseudoTerminal>();
        QVERIFY(pty->ok());
        Make({{3, pty->path()}});
    }
    void cleanup() {
        link.reset();
        pty.reset();
    }

    void framesOnTheWire() {
        Open();
        link->SendCommand("111_");
        link->SendCommand("");
        QTRY_COMPARE_WITH_TIMEOUT(pty->Received(), QByteArray("111_242\r000\r"), 5000);
        QCOMPARE(heard.sent, (QList<int>{1, 2}));
        QCOMPARE(link->SentMessageCount.value(), 2);
    }

    void sendingWhileClosedOnlySaysSo() {
        link->SendCommand("111_");
        QCOMPARE(heard.texts, QStringList{"Not connected!"});
        QVERIFY(heard.sent.isEmpty());
        QCOMPARE(link->SentMessageCount.value(), 0);
    }

    void aFrameTheLineRefusesIsNotCounted() {
        Open();
        pty->Close();  // the far end is gone: the next write has nowhere to go
        link->SendCommand("111_");
        QVERIFY(heard.sent.isEmpty());
        QCOMPARE(link->SentMessageCount.value(), 0);
    }

    // Two messages and half of a third: two handed over in order, the half waits for its rest.
    void arrivalsAreCutIntoMessages() {
        const QByteArray a = Line("500_a"), b = Line("501_b"), c = Line("502_c");
        Open();
        QVERIFY(pty->Write(a + b + c.left(4)));
        QTRY_COMPARE_WITH_TIMEOUT(heard.messages.size(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(Bytes(link->rxBuffer().Pending()), c.left(4), 5000);
        QVERIFY(pty->Write(c.mid(4)));
        QTRY_COMPARE_WITH_TIMEOUT(heard.messages.size(), 3, 5000);
        QCOMPARE(heard.messages, (QList<QByteArray>{a.chopped(1), b.chopped(1), c.chopped(1)}));
        QCOMPARE(heard.arrived.last(), 3);
        QCOMPARE(link->ReceivedMessageCount.value(), 3);
    }

    void countersStopAtTheTop() {
        Open();
        link->SentMessageCount.Set(2147483646);
        link->ReceivedMessageCount.Set(2147483647);
        for (int i = 0; i < 2; ++i) link->SendCommand("111_");
        QCOMPARE(heard.sent, (QList<int>{2147483647, 2147483647}));
        link->ReceiveText(View(Line("500_") + Line("501_")));
        QCOMPARE(heard.arrived, QList<int>{2147483647});
        QCOMPARE(heard.messages.size(), 2);  // reception goes on
    }

    void connectAndDisconnectTexts() {
        link->Disconnect();
        link->Connect();
        QVERIFY(link->PortOpen());
        link->Connect();  // already open: not reopened, same answer
        QVERIFY(link->PortOpen());
        link->Disconnect();
        QVERIFY(!link->PortOpen());
        QCOMPARE(heard.texts, (QStringList{"Port 3 not open", "Port 3 open successfully",
                                           "Port 3 open successfully", "Port 3 closed"}));
        QVERIFY(heard.sent.isEmpty());
    }

    void connectToAMissingPort() {
        Make({{7, "/nonexistent/ttyVP7"}}, 7);
        link->Connect();
        QCOMPARE(heard.texts, QStringList{"Port 7 does not exist"});
        QVERIFY(!link->PortOpen());
    }

    void connectToAHeldPort() {
        vp::link::MSComm other({{1, pty->path()}});
        other.SetSettings("9600,N,8,1");
        QCOMPARE(other.SetPortOpen(true), 0);
        link->Connect();
        QCOMPARE(heard.texts, QStringList{"Port 3 is already open"});
        QVERIFY(!link->PortOpen());
    }

    void connectionDisplayFollowsThePort() {
        link->Timer2_Timer();
        Open();
        link->Timer2_Timer();
        link->Disconnect();
        link->Timer2_Timer();
        const QString com = "Com3,9600,N,8,1";
        QCOMPARE(heard.shown,
                 (QList<QPair<bool, QString>>{{false, com}, {true, com}, {false, com}}));
    }

    void vanishingDeviceClosesThePortOnce() {
        QTemporaryDir dir;
        const QString name = dir.filePath("controller");
        QVERIFY(QFile::link(pty->path(), name));
        Make({{3, name}});
        Open();
        QSignalSpy events(&link->MSComm1(), &vp::link::MSComm::OnComm);
        const QString error = "Port 3: Error reading comm device";

        pty->Close();
        QTRY_VERIFY_WITH_TIMEOUT(heard.texts.contains(error), 5000);
        QVERIFY(!link->PortOpen());
        // One report, not a flood: the port is closed, so the failure cannot repeat however often
        // the event loop turns.
        for (int i = 0; i < 100; ++i) QCoreApplication::processEvents();
        QCOMPARE(events.count(), 1);
        QCOMPARE(heard.texts.count(error), 1);

        // The device comes back under the same name: Connect works again.
        PseudoTerminal back;
        QVERIFY(back.ok());
        QVERIFY(QFile::remove(name));
        QVERIFY(QFile::link(back.path(), name));
        Open();
        link->SendCommand("111_");
        QTRY_COMPARE_WITH_TIMEOUT(back.Received(), QByteArray("111_242\r"), 5000);
    }

    void pollsSendNothingWhileClosed() {
        link->Timer1_Timer();
        QList<int> steps;
        for (int i = 0; i < 5; ++i) {
            steps << link->SlowPollStep;
            link->tmrTMPOperatingHours_Timer();
        }
        QCOMPARE(steps, (QList<int>{0, 1, 2, 3, 0}));
        QVERIFY(heard.texts.isEmpty());  // no "Not connected!" from a poll
        QCOMPARE(link->SentMessageCount.value(), 0);
    }

    // The slow poll turns on while the port is closed, so after a connect it goes on where it is.
    void pollsWhileOpen() {
        link->tmrTMPOperatingHours_Timer();
        Open();
        link->Timer1_Timer();
        for (int i = 0; i < 4; ++i) link->tmrTMPOperatingHours_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(
            pty->Received(), QByteArray("111_242\r038_250\r092_250\r090_248\r040_243\r"), 5000);
    }

    // Only a report that will be shown holds the grey off, and only for the period it came in.
    void watchdog_data() {
        QTest::addColumn<QByteArray>("between");
        QTest::addColumn<bool>("stale");
        QTest::newRow("report") << kReport << false;
        QTest::newRow("nothing") << QByteArray() << true;
        QTest::newRow("report of 80 bytes")
            << Line("111_" + Byte(150) + QByteArray(72, '0')) << true;
        QTest::newRow("error report") << Line("111_" + Byte(170) + QByteArray(73, '0')) << true;
    }
    void watchdog() {
        QFETCH(QByteArray, between);
        QFETCH(bool, stale);
        link->Timer5_Timer();  // nothing since the window loaded
        QCOMPARE(heard.stale, 1);
        link->ReceiveText(View(kReport));
        link->Timer5_Timer();  // a report came in this period: only consumed
        QCOMPARE(heard.stale, 1);
        link->ReceiveText(View(between));
        link->Timer5_Timer();
        QCOMPARE(heard.stale, stale ? 2 : 1);
    }

private:
    void Make(PortNames names, std::int16_t port = 3) {
        heard = {};
        link = std::make_unique<Link>(std::move(names));
        link->MSComm1().SetCommPort(port);
        link->Load();
        Heard* h = &heard;
        connect(link.get(), &Link::StatusText, [h](const QString& t) { h->texts << t; });
        connect(link.get(), &Link::MessageReceived,
                [h](std::string_view m) { h->messages << Bytes(m); });
        connect(link.get(), &Link::FrameSent, [h](std::int32_t n) { h->sent << n; });
        connect(link.get(), &Link::MessagesArrived, [h](std::int32_t n) { h->arrived << n; });
        connect(link.get(), &Link::ConnectionShown, [h](bool open, const QString& com) {
            h->shown.append({open, com});
        });
        connect(link.get(), &Link::ReportsStale, [h] { ++h->stale; });
    }
    void Open() {
        link->Connect();
        QVERIFY(link->PortOpen());
        heard.texts.clear();
    }

    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<Link> link;
    Heard heard;
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"

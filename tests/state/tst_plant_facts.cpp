// The plant and the link as meaning beside the captions: what the network publishes. Messages go
// through the dispatcher, as they do on the line.
#include <QSignalSpy>
#include <QtTest>

#include "protocol/lines.h"
#include "state/dispatcher.h"
#include "state/link_display.h"
#include "state/plant_status.h"

using namespace vp::test;
using vp::state::List;
using vp::state::PanelState;

namespace {
const QByteArray kOk = Byte(150);

// A status report of '?' fields but the current mode and the uptime.
QByteArray Report(int currentMode) {
    QByteArray body = "111_" + kOk + QByteArray(73, '?');
    body[62] = static_cast<char>(currentMode);
    body.replace(68, 10, "0000003600");
    return Signed(body);
}
}  // namespace

class TestPlantFacts : public QObject {
    Q_OBJECT

private slots:
    void newsNamesTheListThatTookIt_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("list");  // -1: no list took it
        QTest::newRow("error report") << Signed("090_" + Byte(170)) << int(List::lstErrors);
        QTest::newRow("warning") << Signed("220_" + kOk) << int(List::lstWarnings);
        QTest::newRow("other kind") << Signed("065_" + kOk) << int(List::lstMessages);
        QTest::newRow("status report") << Report(200) << -1;
        QTest::newRow("hours") << Signed("040_" + kOk + "001234000010") << -1;
        QTest::newRow("bad checksum") << QByteArray("065_" + kOk + "000") << -1;
    }

    void newsNamesTheListThatTookIt() {
        QFETCH(QByteArray, message);
        PanelState s;
        const auto took = vp::state::HandleMessage(s, View(message));
        QTEST(took ? int(*took) : -1, "list");
        if (took) QCOMPARE(s.Entries(*took).size(), std::size_t(1));
    }

    void aReportIsKeptAsMeaningAndEndsTheGrey() {
        PanelState s;
        vp::state::GreyIndicators(s);
        QVERIFY(s.Link.stale);
        vp::state::HandleMessage(s, View(Report(200)));
        QVERIFY(!s.Link.stale);
        QVERIFY(s.Plant.report);
        QCOMPARE(s.Plant.report->currentMode, 200);
        QCOMPARE(s.Plant.report->uptimeText, std::string("3600s"));
        QCOMPARE(vp::state::ModeName(s.Plant.report->currentMode), std::string_view("High vacuum"));
    }

    void aCodeOutsideItsTableStillAnnouncesAChange() {
        PanelState s;
        vp::state::HandleMessage(s, View(Report(200)));
        s.CaughtUp();
        QSignalSpy changed(&s, &PanelState::Changed);
        vp::state::HandleMessage(s, View(Report(250)));  // the caption stays "High vacuum"
        QCOMPARE(s.Caption(vp::state::Text::lblCurrentMode), std::string("High vacuum"));
        QCOMPARE(s.Plant.report->currentMode, 250);
        QCOMPARE(changed.count(), 1);
        QVERIFY(vp::state::ModeName(250).empty());
    }

    void linkFactsFollowTheLink() {
        PanelState s;
        vp::state::LinkDisplay display(s);
        display.ShowConnection(true, QStringLiteral("Com3,9600,n,8,1"));
        display.FrameSent(7);
        display.MessagesArrived(5);
        QCOMPARE(s.Link, (vp::state::LinkFacts{true, false, 7, 5}));
        display.ShowConnection(false, QString());
        QVERIFY(!s.Link.connected);
    }
};

QTEST_GUILESS_MAIN(TestPlantFacts)
#include "tst_plant_facts.moc"

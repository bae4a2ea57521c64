// The link's events as the panel shows them, no window: counters' captions, lamps, the status
// box, the connection captions, and the state as the window loads.
#include <QtTest>
#include <functional>

#include "state/link_display.h"
#include "state/state_map.h"

using namespace vp::test;
using vp::state::LinkDisplay;
using vp::state::PanelState;
using Event = std::function<void(LinkDisplay&)>;

class TestLinkDisplay : public QObject {
    Q_OBJECT

private slots:
    void eventWritesOnlyItsControls_data() {
        QTest::addColumn<Event>("event");
        QTest::addColumn<StateMap>("changes");
        const QString com = "Com3,9600,N,8,1";
        QTest::newRow("frame sent") << Event([](LinkDisplay& d) { d.FrameSent(5); })
                                    << StateMap{{"shpSend", Colour(vp::state::kYellow)},
                                                {"lblSentMessages", "5 sent messages"}};
        QTest::newRow("messages arrived")
            << Event([](LinkDisplay& d) { d.MessagesArrived(2147483647); })
            << StateMap{{"shpRecv", Colour(vp::state::kGreen)},
                        {"lblReceivedMessages", "2147483647 received messages"}};
        QTest::newRow("status text, Latin-1")
            << Event([](LinkDisplay& d) { d.ShowStatusText(QString::fromUtf8("Port 3 \u00e9")); })
            << StateMap{{"txtStatus", QString::fromUtf8("Port 3 \u00e9")}};
        QTest::newRow("connected") << Event([com](LinkDisplay& d) { d.ShowConnection(true, com); })
                                   << StateMap{{"lblStatus", "Connected"}, {"lblComStatus", com}};
        QTest::newRow("disconnected keeps the port's text")
            << Event([](LinkDisplay& d) { d.ShowConnection(false, "Com4,2400,E,7,2"); })
            << StateMap{{"lblStatus", "Disconnected"}};
    }
    void eventWritesOnlyItsControls() {
        QFETCH(Event, event);
        QFETCH(StateMap, changes);
        PanelState s;
        LinkDisplay display(s);
        const StateMap before = Snapshot(s);
        event(display);
        QCOMPARE(Changes(before, Snapshot(s)), changes);
    }

    void lampsGoOutAtTheirTick() {
        PanelState s;
        LinkDisplay d(s);
        d.FrameSent(1);
        d.MessagesArrived(1);
        QVERIFY(d.Timer3->isActive() && d.Timer4->isActive());
        d.Timer3_Timer();
        QCOMPARE(s.FillOf(vp::state::Fill::shpSend), vp::state::kMenuColour);
        QCOMPARE(s.FillOf(vp::state::Fill::shpRecv), vp::state::kGreen);
        QVERIFY(!d.Timer3->isActive());
        d.Timer4_Timer();
        QCOMPARE(s.FillOf(vp::state::Fill::shpRecv), vp::state::kMenuColour);
        QVERIFY(!d.Timer4->isActive());
    }

    // Load empties the lists and the last pressures, greys the plant and names the port; a stale
    // picture greys the same shapes and nothing else.
    void loadAndStale() {
        PanelState s;
        LinkDisplay d(s);
        s.InsertTop(vp::state::List::lstWarnings, "w");
        s.LastPressures[2] = "5.000E-3";
        d.Load("Com3,9600,N,8,1");
        const StateMap loaded = Snapshot(s);
        QCOMPARE(loaded["lstWarnings"], "");
        QCOMPARE(loaded["LastPressure2G1"], "");
        QCOMPARE(loaded["lblComStatus"], "Com3,9600,N,8,1");
        QCOMPARE(loaded["shpTG1"], Colour(vp::state::kGreyText));
        QCOMPARE(loaded["shpTMP2OperatingHours"], Colour(vp::state::kGreyText));
        QCOMPARE(loaded["shpSend"], "(unset)");
        s.SetFill(vp::state::Fill::shpTG1, vp::state::kWhite);
        d.ReportsStale();
        QCOMPARE(Snapshot(s), loaded);
    }
};

QTEST_GUILESS_MAIN(TestLinkDisplay)
#include "tst_link_display.moc"

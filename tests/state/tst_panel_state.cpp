// The state's own rules: a control nobody wrote is unknown, only a change moves a revision, a
// reader hears of changes once until it catches up, and lists keep the newest ten on top. Then
// the link's events as the panel shows them: counters' captions, lamps, the status box, the
// connection captions, and the state as the window loads.
#include <QtTest>
#include <functional>

#include "state/link_display.h"
#include "state/panel_state.h"
#include "state/state_map.h"

using namespace vp::state;
using vp::test::Changes;
using vp::test::Colour;
using vp::test::Snapshot;
using vp::test::StateMap;
using Event = std::function<void(LinkDisplay&)>;

class TestPanelState : public QObject {
    Q_OBJECT

private slots:
    // Writing the value a control would read anyway (0, "", an empty list) still makes it known:
    // the view must draw it over what the window was built with.
    void aFirstWriteMakesAControlKnown() {
        PanelState s;
        QVERIFY(!s.Known(Fill::shpTG1) && !s.Known(Text::lblOperationErrors));
        QCOMPARE(s.RevisionOf(List::lstErrors), 0u);
        s.SetFill(Fill::shpTG1, 0);
        s.SetCaption(Text::lblOperationErrors, "");
        s.ClearList(List::lstErrors);
        QVERIFY(s.Known(Fill::shpTG1) && s.Known(Text::lblOperationErrors));
        QVERIFY(s.RevisionOf(List::lstErrors) != 0);
        QVERIFY(!s.Known(Fill::shp1G1) && !s.Known(Text::lblTG1));
    }

    void onlyAChangeMovesARevision() {
        PanelState s;
        s.SetFill(Fill::shpTG1, kRed);
        s.SetCaption(Text::lblTG1, "---");
        s.ClearList(List::lstWarnings);
        const auto revision = s.Revision(), shape = s.RevisionOf(Fill::shpTG1);
        s.SetFill(Fill::shpTG1, kRed);
        s.SetCaption(Text::lblTG1, "---");
        s.ClearList(List::lstWarnings);
        QCOMPARE(s.Revision(), revision);
        s.SetCaption(Text::lblTG1, "--");
        QVERIFY(s.Revision() > revision);
        QCOMPARE(s.RevisionOf(Text::lblTG1), s.Revision());
        QCOMPARE(s.RevisionOf(Fill::shpTG1), shape);
    }

    void changedOnceUntilTheReaderCatchesUp() {
        PanelState s;
        QSignalSpy changed(&s, &PanelState::Changed);
        s.SetFill(Fill::shpTG1, kRed);
        s.SetCaption(Text::lblTG1, "---");
        s.InsertTop(List::lstMessages, "a");
        QCOMPARE(changed.count(), 1);
        s.CaughtUp();
        s.SetFill(Fill::shpTG1, kRed);  // no change: nothing to tell
        QCOMPARE(changed.count(), 1);
        s.ClearList(List::lstMessages);
        s.SetFill(Fill::shp1G1, kGreen);
        QCOMPARE(changed.count(), 2);
    }

    void listsKeepTheNewestTenOnTop() {
        PanelState s;
        for (int i = 1; i <= 12; ++i) s.InsertTop(List::lstErrors, std::to_string(i));
        const auto& entries = s.Entries(List::lstErrors);
        QCOMPARE(entries.size(), PanelState::kListLength);
        QCOMPARE(entries.front(), "12");
        QCOMPARE(entries.back(), "3");
        QVERIFY(s.Entries(List::lstWarnings).empty());
    }
    void eventWritesOnlyItsControls_data() {
        QTest::addColumn<Event>("event");
        QTest::addColumn<StateMap>("changes");
        const QString com = "Com3,9600,N,8,1";
        const QString accented = QString::fromUtf8("Port 3 \u00e9");
        // clang-format off
        QTest::newRow("frame sent") << Event([](LinkDisplay& d) { d.FrameSent(5); })
            << StateMap{{"shpSend", Colour(kYellow)}, {"lblSentMessages", "5 sent messages"}};
        QTest::newRow("messages arrived") << Event([](LinkDisplay& d) { d.MessagesArrived(2147483647); })
            << StateMap{{"shpRecv", Colour(kGreen)}, {"lblReceivedMessages", "2147483647 received messages"}};
        QTest::newRow("status text, Latin-1") << Event([=](LinkDisplay& d) { d.ShowStatusText(accented); })
            << StateMap{{"txtStatus", accented}};
        QTest::newRow("connected") << Event([com](LinkDisplay& d) { d.ShowConnection(true, com); })
            << StateMap{{"lblStatus", "Connected"}, {"lblComStatus", com}};
        QTest::newRow("disconnected keeps the port's text") << Event([](LinkDisplay& d) { d.ShowConnection(false, "Com4,2400,E,7,2"); })
            << StateMap{{"lblStatus", "Disconnected"}};
        // clang-format on
    }
    void eventWritesOnlyItsControls() {
        QFETCH(Event, event);
        PanelState s;
        LinkDisplay display(s);
        const StateMap before = Snapshot(s);
        event(display);
        QTEST(Changes(before, Snapshot(s)), "changes");
    }

    void lampsGoOutAtTheirTick() {
        PanelState s;
        LinkDisplay d(s);
        d.FrameSent(1);
        d.MessagesArrived(1);
        QVERIFY(d.Timer3->isActive() && d.Timer4->isActive());
        d.Timer3_Timer();
        QCOMPARE(s.FillOf(Fill::shpSend), kMenuColour);
        QCOMPARE(s.FillOf(Fill::shpRecv), kGreen);
        QVERIFY(!d.Timer3->isActive());
        d.Timer4_Timer();
        QCOMPARE(s.FillOf(Fill::shpRecv), kMenuColour);
        QVERIFY(!d.Timer4->isActive());
    }

    // Load empties the lists and the last pressures, greys the plant and names the port; a stale
    // picture greys the same shapes and nothing else.
    void loadAndStale() {
        PanelState s;
        LinkDisplay d(s);
        s.InsertTop(List::lstWarnings, "w");
        s.LastPressures[2] = "5.000E-3";
        d.Load("Com3,9600,N,8,1");
        const StateMap loaded = Snapshot(s);
        QCOMPARE(loaded["lstWarnings"], "");
        QCOMPARE(loaded["LastPressure2G1"], "");
        QCOMPARE(loaded["lblComStatus"], "Com3,9600,N,8,1");
        QCOMPARE(loaded["shpTG1"], Colour(kGreyText));
        QCOMPARE(loaded["shpTMP2OperatingHours"], Colour(kGreyText));
        QCOMPARE(loaded["shpSend"], "(unset)");
        s.SetFill(Fill::shpTG1, kWhite);
        d.ReportsStale();
        QCOMPARE(Snapshot(s), loaded);
    }
};

QTEST_GUILESS_MAIN(TestPanelState)
#include "tst_panel_state.moc"

// The state's own rules: a control nobody wrote is unknown, only a change moves a revision, a
// reader hears of changes once until it catches up, and lists keep the newest ten on top.
#include <QtTest>

#include "state/panel_state.h"

using namespace vp::state;

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
};

QTEST_GUILESS_MAIN(TestPanelState)
#include "tst_panel_state.moc"

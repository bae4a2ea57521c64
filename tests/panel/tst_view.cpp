// The view between the panel's state and the window: every control the state names exists with
// the right kind, a render writes what changed and only that, renders keep a screen's pace under
// a flood of changes, and the newest values show once the changes stop.
#include <QElapsedTimer>
#include <QtTest>

#include "app/panel.h"
#include "panel/form1.h"

using vp::app::Panel;
using vp::panel::Form1;
using vp::panel::Label;
using vp::panel::Shape;
using vp::panel::TextBox;
using vp::panel::View;
using vp::state::Fill;
using vp::state::List;
using vp::state::Text;

class TestView : public QObject {
    Q_OBJECT

private slots:
    void init() {
        panel = std::make_unique<Panel>(Panel::Options{});
        form = panel->window();
        // Only the changes a test makes: the link's own ticks would add their own.
        for (QTimer* t : panel->link().findChildren<QTimer*>()) t->stop();
    }
    void cleanup() { panel.reset(); }

    void everyStateControlIsOnTheWindow();
    void renderWritesWhatChanged();
    void nothingChangedNothingRendered();
    void burstRendersAtScreenPace();
    void longStatusTextShowsItsBeginning();
    void valueChangedBackUnpainted();

private:
    std::unique_ptr<Panel> panel;
    Form1* form = nullptr;
};

void TestView::everyStateControlIsOnTheWindow() {
    for (std::size_t i = 0; i < vp::state::kFillCount; ++i)
        QVERIFY2(form->findChild<Shape*>(vp::state::Name(static_cast<Fill>(i))),
                 vp::state::Name(static_cast<Fill>(i)));
    for (std::size_t i = 0; i < vp::state::kTextCount; ++i) {
        const char* name = vp::state::Name(static_cast<Text>(i));
        QVERIFY2(form->findChild<Label*>(name) || form->findChild<TextBox*>(name), name);
    }
    for (std::size_t i = 0; i < vp::state::kListCount; ++i)
        QVERIFY(form->findChild<QListWidget*>(vp::state::Name(static_cast<List>(i))));
}

void TestView::renderWritesWhatChanged() {
    auto& state = panel->state();
    state.SetFill(Fill::shp1V1, 0x0000FF00);
    state.SetCaption(Text::lbl1V1status, "open");
    state.SetCaption(Text::txtUptime, "42s");
    state.InsertTop(List::lstWarnings, " 221 (\xB5)");
    // Nothing reaches a widget until the view renders.
    QCOMPARE(form->lbl1V1status->Caption(), QStringLiteral("---"));
    QTRY_COMPARE(form->lbl1V1status->Caption(), QStringLiteral("open"));
    QCOMPARE(form->shp1V1->FillColor(), 0x0000FF00u);
    QCOMPARE(form->txtUptime->text(), QStringLiteral("42s"));
    QCOMPARE(form->lstWarnings->count(), 1);
    QCOMPARE(form->lstWarnings->item(0)->text(), QStringLiteral(" 221 (\u00B5)"));  // Latin-1

    // A control changed behind the view's back keeps that value until the state changes it.
    form->lbl2V1status->SetCaption(QStringLiteral("by hand"));
    state.SetCaption(Text::lbl1V1status, "closed");
    form->view().Render();
    QCOMPARE(form->lbl2V1status->Caption(), QStringLiteral("by hand"));
    QCOMPARE(form->lbl1V1status->Caption(), QStringLiteral("closed"));
}

void TestView::nothingChangedNothingRendered() {
    auto& state = panel->state();
    state.SetCaption(Text::lblStatus, "Connected");
    form->view().Render();
    const auto renders = form->view().Renders();
    state.SetCaption(Text::lblStatus, "Connected");  // as it already is
    state.SetFill(Fill::shpTG1, 0x80000011);         // already grey
    QTest::qWait(3 * View::kFramePeriodMs);
    QCOMPARE(form->view().Renders(), renders);
}

void TestView::burstRendersAtScreenPace() {
    auto& state = panel->state();
    form->view().Render();
    const auto before = form->view().Renders();
    QElapsedTimer clock;
    clock.start();
    int n = 0;
    // Changes as fast as they come, with the event loop turning between them as it does
    // between arrivals from the port.
    while (clock.elapsed() < 300) {
        state.SetCaption(Text::txtUptime, std::to_string(++n) + "s");
        QCoreApplication::processEvents();
    }
    const qint64 elapsed = clock.elapsed();
    const auto renders = form->view().Renders() - before;
    QVERIFY2(renders >= 2, qPrintable(QString::number(renders)));
    QVERIFY2(renders <= static_cast<quint64>(elapsed / View::kFramePeriodMs + 1),
             qPrintable(QStringLiteral("%1 renders in %2 ms").arg(renders).arg(elapsed)));
    // The newest value shows once the changes stop.
    QTRY_COMPARE(form->txtUptime->text(), QString::number(n) + "s");
}

void TestView::longStatusTextShowsItsBeginning() {
    const QString text = QStringLiteral("Could not open log file for writing: Is a directory");
    panel->linkDisplay().ShowStatusText(text);
    form->view().Render();
    QCOMPARE(form->txtStatus->text(), text);
    QCOMPARE(form->txtStatus->cursorPosition(), 0);
    QCOMPARE(form->txtStatus->toolTip(), text);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    // What the box shows starts with the text's first word.
    const QRect cursor = form->txtStatus->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QVERIFY(cursor.left() < form->txtStatus->width() / 4);
}

QTEST_MAIN(TestView)
namespace {
// Counts the paints a control receives.
class Paints : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};
}  // namespace

void TestView::valueChangedBackUnpainted() {
    // A value that changed and changed back before the next render leaves its control as it is:
    // nothing is painted again.
    auto& state = panel->state();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    state.SetCaption(Text::txtUptime, "42s");
    state.SetCaption(Text::lbl1V1status, "open");
    state.SetFill(Fill::shp1V1, 0x0000FF00);
    form->view().Render();
    QCoreApplication::processEvents();
    Paints paints;
    for (QWidget* control :
         {static_cast<QWidget*>(form->txtUptime), static_cast<QWidget*>(form->lbl1V1status),
          static_cast<QWidget*>(form->shp1V1)})
        control->installEventFilter(&paints);
    state.SetCaption(Text::txtUptime, "43s");
    state.SetCaption(Text::txtUptime, "42s");
    state.SetCaption(Text::lbl1V1status, "closed");
    state.SetCaption(Text::lbl1V1status, "open");
    state.SetFill(Fill::shp1V1, 0x000000FF);
    state.SetFill(Fill::shp1V1, 0x0000FF00);
    form->view().Render();
    QCoreApplication::processEvents();
    QCOMPARE(paints.count, 0);
    state.SetCaption(Text::txtUptime, "44s");  // and the counting sees a change
    form->view().Render();
    QTRY_VERIFY(paints.count > 0);
}

#include "tst_view.moc"

// SPDX-License-Identifier: MIT
// The window as the operator first sees it: controls, captions, colours, and the port settings
// the load leaves behind. Then the view between the panel's state and the window: every control
// the state names exists with the right kind, a render writes what changed and only that, renders
// keep a screen's pace under a flood of changes, and the newest values show once they stop.
// The view's clock is moved by hand, and its frame timer's handler driven.
#include <QScrollBar>
#include <QtTest>
#include <chrono>

#include "app/panel.h"
#include "panel/form1.h"
#include "support/hand_clock.h"
#include "support/panel_on_pty.h"

using namespace std::chrono_literals;

using vp::panel::Form1;
using vp::panel::Label;
using vp::panel::Shape;
using vp::panel::TextBox;
using vp::panel::View;
using vp::state::Fill;
using vp::state::List;
using vp::state::Text;

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    // Only the changes a test makes: the panel's own ticks would add their own.
    void init() {
        p = std::make_unique<PanelOnPty>(&clock);
        form = p->form;
    }
    void cleanup() { p.reset(); }

    void theWindowAsLoaded() {
        QStringList grey, indicators;
        for (Shape* shape : form->findChildren<Shape*>())
            if (shape->FillColor() == 0x80000011u && shape->objectName().startsWith("shp"))
                grey << shape->objectName();
        for (std::size_t i = 0; i < vp::state::kIndicatorCount; ++i)
            indicators << vp::state::Name(static_cast<Fill>(i));
        grey.sort();
        indicators.sort();
        QCOMPARE(grey, indicators);
        QCOMPARE(form->shpSend->FillColor(), 0x80000004u);
        // The port settings the load leaves behind.
        QCOMPARE(p->app->link().MSComm1().CommPort(), 3);
        QCOMPARE(p->app->link().MSComm1().Settings(), QStringLiteral("115200,n,8,1"));
        QVERIFY(!p->app->link().MSComm1().PortOpen());
        QCOMPARE(form->lblComStatus->Caption(), QStringLiteral("Com1,9600,N,8,1"));
        QCOMPARE((QStringList{form->Combo1->currentText(), form->Combo2->currentText(),
                              form->Combo3->currentText()}),
                 (QStringList{"115200", "n", "Com3"}));
        for (auto* list : {form->lstErrors, form->lstWarnings, form->lstMessages})
            QCOMPARE(list->count(), 0);
        QVERIFY(form->txtStatus->text().isEmpty());
        QVERIFY(form->txtUptime->text().isEmpty());
        QCOMPARE(form->windowTitle(), QStringLiteral("Merivax vacuum panel"));
        QCOMPARE(form->surface()->size(), QSize(861, 678));
    }

    void listSelectionsSetThePort_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("commPort");
        QTest::addColumn<QString>("settings");
        QTest::newRow("Com10") << 9 << 3 << 0 << 10 << "115200,n,8,1";
        QTest::newRow("921600 even") << 2 << 5 << 1 << 3 << "921600,e,8,1";
        QTest::newRow("2400 space on Com1") << 0 << 0 << 4 << 1 << "2400,s,8,1";
    }

    void listSelectionsSetThePort() {
        QFETCH(int, port);
        QFETCH(int, speed);
        QFETCH(int, parity);
        form->Combo3->setCurrentIndex(port);
        form->Combo1->setCurrentIndex(speed);
        form->Combo2->setCurrentIndex(parity);
        QTEST(int(p->app->link().MSComm1().CommPort()), "commPort");
        QTEST(p->app->link().MSComm1().Settings(), "settings");
        // The lists never write the port summary: only the connection display does.
        QCOMPARE(form->lblComStatus->Caption(), QStringLiteral("Com1,9600,N,8,1"));
    }

    void choosingAPortClosesAnOpenOne() {
        QVERIFY(p->Open());
        form->Combo3->setCurrentIndex(4);
        QVERIFY(!p->app->link().MSComm1().PortOpen());
        QCOMPARE(p->app->link().MSComm1().CommPort(), 5);
        form->view().Render();
        QVERIFY(form->txtStatus->text().isEmpty());
    }

    void controlsLandWhereTheTwipsSay_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("pixels");
        // Twips divided by 15, rounded; the frame's controls from its corner.
        QTest::newRow("Label12 odd twips") << "Label12" << QRect(333, 17, 22, 13);
        QTest::newRow("Frame1") << "Frame1" << QRect(8, 472, 681, 193);
        QTest::newRow("Combo3 in frame") << "Combo3" << QRect(344, 16, 65, 21);
    }

    void controlsLandWhereTheTwipsSay() {
        QFETCH(QString, name);
        auto* widget = form->findChild<QWidget*>(name);
        QVERIFY(widget);
        QTEST(widget->geometry(), "pixels");
    }

    void fitsLabelFollowsItsCaption() {
        Label* fits = form->lbl1V1status;
        const QPoint corner = fits->pos();
        const int narrow = fits->width();
        fits->SetCaption(QStringLiteral("accelerating"));
        QVERIFY(fits->width() > narrow);
        QCOMPARE(fits->pos(), corner);
        fits->SetCaption(QStringLiteral("---"));
        QCOMPARE(fits->pos(), corner);
        QVERIFY(fits->width() < fits->fontMetrics().horizontalAdvance("accelerating"));

        // Fits and wraps: width kept, height grows to hold the broken caption.
        Label* wraps = form->lblCrcErrors;
        const int width = wraps->width();
        wraps->SetCaption(QString("received crc errors ").repeated(8));
        QCOMPARE(wraps->width(), width);
        QVERIFY(wraps->height() > 13);

        // Not fits: size never changes.
        const QRect box = form->lblTG1->geometry();
        form->lblTG1->SetCaption(QStringLiteral("1.013E 3\r\nmBar"));
        QCOMPARE(form->lblTG1->geometry(), box);
        QCOMPARE(form->lblTG1->text(), QStringLiteral("1.013E 3\nmBar"));
    }

    void shapesAndLinesLetPressesThrough() {
        QVERIFY(form->Line4->testAttribute(Qt::WA_TransparentForMouseEvents));
        QVERIFY(p->Show());
        // lblOperationErrors is drawn where lstWarnings stands: the list, a windowed control, wins.
        QWidget* top = form->Frame1->childAt(form->lblOperationErrors->geometry().center());
        QVERIFY(top);
        QVERIFY(top == form->lstWarnings || form->lstWarnings->isAncestorOf(top));
        // Captions stand above the shapes they label.
        QCOMPARE(form->surface()->childAt(form->lblTmp1->geometry().center()), form->lblTmp1);
    }

    // Pipes drawn right to left or bottom to top as well: the end pixels are where the layout says.
    void linesAreDrawnToBothEnds() {
        const auto lines = form->findChildren<vp::panel::Line*>();
        QVERIFY(!lines.isEmpty());
        for (vp::panel::Line* line : lines) {
            const QImage drawn = line->grab().toImage();
            for (const QPoint end : {line->From(), line->To()}) {
                const QPoint at = end - line->pos();
                QVERIFY2(drawn.rect().contains(at) && qGray(drawn.pixel(at)) < 128,
                         qPrintable(line->objectName()));
            }
        }
    }

    void everyStateControlIsOnTheWindow() {
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

    void renderWritesWhatChanged() {
        auto& state = p->app->state();
        state.SetFill(Fill::shp1V1, 0x0000FF00);
        state.SetCaption(Text::lbl1V1status, "open");
        state.SetCaption(Text::txtUptime, "42s");
        state.InsertTop(List::lstWarnings, " 221 (\xB5)");
        // Nothing reaches a widget until the view renders.
        QCOMPARE(form->lbl1V1status->Caption(), QStringLiteral("---"));
        Frames(1);
        QCOMPARE(form->lbl1V1status->Caption(), QStringLiteral("open"));
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

        // Nothing changed, nothing rendered.
        state.SetCaption(Text::lblStatus, "Connected");
        form->view().Render();
        const auto renders = form->view().Renders();
        state.SetCaption(Text::lblStatus, "Connected");  // as it already is
        state.SetFill(Fill::shpTG1, 0x80000011);         // already grey
        Frames(3);
        QCOMPARE(form->view().Renders(), renders);
    }

    // A value that changed and changed back before the next render paints nothing again.
    void valueChangedBackUnpainted() {
        auto& state = p->app->state();
        QVERIFY(p->Show());
        state.SetCaption(Text::txtUptime, "42s");
        state.SetCaption(Text::lbl1V1status, "open");
        form->view().Render();
        QCoreApplication::processEvents();
        struct Paints : QObject {
            int count = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                return count += e->type() == QEvent::Paint, false;
            }
        } paints;
        form->txtUptime->installEventFilter(&paints);
        form->lbl1V1status->installEventFilter(&paints);
        for (const char* uptime : {"43s", "42s"}) state.SetCaption(Text::txtUptime, uptime);
        for (const char* valve : {"closed", "open"}) state.SetCaption(Text::lbl1V1status, valve);
        form->view().Render();
        QCoreApplication::processEvents();
        QCOMPARE(paints.count, 0);
        state.SetCaption(Text::txtUptime, "44s");  // and the counting sees a change
        form->view().Render();
        QTRY_VERIFY(paints.count > 0);
    }

    // A change waits for the rest of a frame since the last render, and after a quiet spell only
    // a moment for its answer; messages from the line end that moment early, never the frame.
    void aChangeIsDrawnWhenItsFrameComes_data() {
        QTest::addColumn<int>("quietMs");     // from the last render to the change
        QTest::addColumn<int>("drawnAfter");  // ms from the change, without an answer
        QTest::addColumn<bool>("answerDraws");
        constexpr int frame = View::kFramePeriodMs, gather = View::kGatherMs;
        QTest::newRow("right after a render") << 0 << frame << false;
        QTest::newRow("mid-frame") << 20 << frame - 20 << false;
        QTest::newRow("the frame nearly over") << frame - 1 << gather << false;
        QTest::newRow("a frame since the render") << frame << gather << true;
        QTest::newRow("after a quiet spell") << 10 * frame << gather << true;
    }

    void aChangeIsDrawnWhenItsFrameComes() {
        QFETCH(int, quietMs);
        QFETCH(int, drawnAfter);
        QFETCH(bool, answerDraws);
        auto& state = p->app->state();
        View& view = form->view();
        view.Render();
        clock.now += std::chrono::milliseconds(quietMs);
        const auto renders = view.Renders();
        state.SetCaption(Text::txtUptime, "42s");
        clock.now += std::chrono::milliseconds(drawnAfter) - 1ms;
        view.FrameDue();
        QCOMPARE(view.Renders(), renders);
        QCOMPARE(form->txtUptime->text(), QString());
        view.LineAnswered();
        QCOMPARE(view.Renders(), renders + answerDraws);
        clock.now += 1ms;
        view.FrameDue();
        QCOMPARE(view.Renders(), renders + 1);
        QCOMPARE(form->txtUptime->text(), QStringLiteral("42s"));
        view.LineAnswered();  // nothing waits now
        QCOMPARE(view.Renders(), renders + 1);
    }

    // Changes at every millisecond: renders stand a frame apart, neither closer nor much further,
    // with the event loop turning between changes as it does between arrivals from the port; the
    // newest value shows once the changes stop.
    void burstRendersAtScreenPace() {
        auto& state = p->app->state();
        View& view = form->view();
        view.Render();
        const auto start = clock.now;
        auto renders = view.Renders();
        auto renderedAt = clock.now;
        int n = 0;
        QList<qint64> gaps;
        while (clock.now - start < 300ms) {
            clock.now += 1ms;
            state.SetCaption(Text::txtUptime, std::to_string(++n) + "s");
            QCoreApplication::processEvents();
            view.LineAnswered();
            view.FrameDue();
            if (view.Renders() == renders) continue;
            QCOMPARE(view.Renders(), renders + 1);
            QCOMPARE(form->txtUptime->text(), QString::number(n) + "s");
            gaps << (clock.now - renderedAt).count();
            renders = view.Renders();
            renderedAt = clock.now;
        }
        for (const qint64 gap : gaps)
            QVERIFY2(gap == View::kFramePeriodMs, qPrintable(QString::number(gap)));
        QCOMPARE(gaps.size(), 300 / View::kFramePeriodMs);
        Frames(1);
        QCOMPARE(form->txtUptime->text(), QString::number(n) + "s");
    }

    void longStatusTextShowsItsBeginning() {
        const QString text = QStringLiteral("Could not open log file for writing: Is a directory");
        p->app->linkDisplay().ShowStatusText(text);
        form->view().Render();
        QCOMPARE(form->txtStatus->text(), text);
        QCOMPARE(form->txtStatus->cursorPosition(), 0);
        QCOMPARE(form->txtStatus->toolTip(), text);
        QVERIFY(p->Show());
        // What the box shows starts with the text's first word.
        const QRect cursor = form->txtStatus->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY(cursor.left() < form->txtStatus->width() / 4);
    }

    // The panel's own words (device and file names, the system's failure texts) show whole in
    // the status box, whatever their characters; the controller's bytes stay Latin-1.
    void ownNoticesShowWhole_data() {
        QTest::addColumn<QString>("notice");
        QTest::newRow("device name") << QStringLiteral("Port 3: /tmp/łącze ż does not exist");
        QTest::newRow("file name")
            << QStringLiteral("Could not write traffic record: /srv/журнал: Permission denied");
        QTest::newRow("Latin-1 and beyond") << QStringLiteral("Température 25 µs ⚠ 圧力");
    }

    void ownNoticesShowWhole() {
        QFETCH(QString, notice);
        emit p->app->link().StatusText(notice);
        Frames(1);
        QCOMPARE(form->txtStatus->text(), notice);
        QCOMPARE(form->txtStatus->toolTip(), notice);
        // Bytes written next as a caption are Latin-1 again, even the very bytes that stand for
        // the notice to a reader of bytes ('?' where Latin-1 has no character).
        const std::string bytes = p->app->state().Caption(Text::txtStatus);
        p->app->state().SetCaption(Text::txtStatus, bytes);
        form->view().Render();
        QCOMPARE(form->txtStatus->text(), QString::fromLatin1(bytes.c_str()));
        QVERIFY(form->txtStatus->text() != notice);
    }

    // Entries arrive on top while the operator reads one: the selection stays on that entry as
    // it moves down, until it falls off the end; the same report several times in a row moves it
    // by as many rows as arrived.
    void selectionFollowsItsEntry_data() {
        QTest::addColumn<bool>("sameText");
        QTest::newRow("different reports") << false;
        QTest::newRow("the same report again and again") << true;
    }

    void selectionFollowsItsEntry() {
        QFETCH(bool, sameText);
        auto& state = p->app->state();
        QVERIFY(p->Show());
        int n = 0;
        const auto arrive = [&](int count) {
            for (int i = 0; i < count; ++i, ++n)
                state.InsertTop(List::lstErrors,
                                sameText ? "170 (no response)" : std::to_string(n) + " (error)");
            form->view().Render();
        };
        arrive(4);
        QListWidget* list = form->lstErrors;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(2)).center());
        QCOMPARE(list->currentRow(), 2);
        const QString chosen = list->currentItem()->text();
        QListWidgetItem* item = list->currentItem();
        for (const int more : {1, 2, 3}) {
            const int row = list->currentRow() + more;
            arrive(more);
            QCOMPARE(list->count(), std::min(n, 10));
            QCOMPARE(list->currentRow(), row);
            QCOMPARE(list->currentItem(), item);
            QCOMPARE(list->currentItem()->text(), chosen);
            QCOMPARE(list->selectedItems(), QList<QListWidgetItem*>{item});
        }
        arrive(2);  // from row 8 past the tenth
        QCOMPARE(list->count(), 10);
        QVERIFY(list->selectedItems().isEmpty());
    }

    // A view's state replaces a list whole; an entry still in it keeps its selection.
    void selectionSurvivesAListReplacedWhole() {
        auto& state = p->app->state();
        for (const char* entry : {"3 (c)", "2 (b)", "1 (a)"})
            state.InsertTop(List::lstWarnings, entry);
        form->view().Render();
        form->lstWarnings->setCurrentRow(1);
        state.ClearList(List::lstWarnings);
        for (const char* entry : {"3 (c)", "2 (b)", "1 (a)", "0 (new)"})
            state.InsertTop(List::lstWarnings, entry);
        form->view().Render();
        QCOMPARE(form->lstWarnings->count(), 4);
        QCOMPARE(form->lstWarnings->currentRow(), 2);
        QCOMPARE(form->lstWarnings->currentItem()->text(), QStringLiteral("2 (b)"));
    }

    // A long entry scrolled sideways stays where the operator scrolled it, and a list scrolled
    // down keeps the same entries in sight; at the top, the newest shows.
    void scrollPositionStays() {
        auto& state = p->app->state();
        QVERIFY(p->Show());
        QListWidget* list = form->lstMessages;
        const std::string long_entry(300, 'x');
        for (int i = 0; i < 8; ++i)
            state.InsertTop(List::lstMessages, i == 5 ? long_entry : std::to_string(i) + " (m)");
        form->view().Render();
        QCoreApplication::processEvents();
        QScrollBar* across = list->horizontalScrollBar();
        QScrollBar* down = list->verticalScrollBar();
        QVERIFY(across->maximum() > 0 && down->maximum() > 2);
        across->setValue(across->maximum() / 2);
        const int sideways = across->value();
        down->setValue(2);
        const QString inSight = list->itemAt(1, 1)->text();

        state.InsertTop(List::lstMessages, "8 (m)");
        form->view().Render();
        QCoreApplication::processEvents();
        QCOMPARE(across->value(), sideways);
        QCOMPARE(down->value(), 3);
        QCOMPARE(list->itemAt(1, 1)->text(), inSight);

        down->setValue(0);
        state.InsertTop(List::lstMessages, "9 (m)");
        form->view().Render();
        QCoreApplication::processEvents();
        QCOMPARE(down->value(), 0);
        QCOMPARE(list->itemAt(1, 1)->text(), QStringLiteral("9 (m)"));
        QCOMPARE(across->value(), sideways);
    }

    void onlySetPointBoxesTakeTyping() {
        // The uptime and the status box show what the controller and the link say; the set-point
        // boxes are where the operator types.
        p->app->state().SetCaption(Text::txtUptime, "12345");
        form->view().Render();
        QVERIFY(p->Show());
        for (QLineEdit* shows : {form->txtUptime, form->txtStatus}) {
            const QString before = shows->text();
            QTest::mouseClick(shows, Qt::LeftButton);
            QTest::keyClicks(shows, "99");
            QTest::keyClick(shows, Qt::Key_Backspace);
            QCOMPARE(shows->text(), before);
        }
        QTest::mouseClick(form->txtTMPspeed, Qt::LeftButton);
        QTest::keyClicks(form->txtTMPspeed, "750");
        QCOMPARE(form->txtTMPspeed->text(), QStringLiteral("750"));
    }

private:
    // Moves the view's clock a frame at a time, the frame timer's handler called at each.
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            clock.now += std::chrono::milliseconds(View::kFramePeriodMs);
            form->view().FrameDue();
        }
    }

    HandClock clock;
    std::unique_ptr<PanelOnPty> p;
    Form1* form = nullptr;
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

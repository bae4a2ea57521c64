// The real menus, opened as the operator opens them (a right press on the diagram, a click on the
// menu bar) and clicked with the mouse: only the left button chooses an entry.
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>
#include <functional>

#include "support/panel_on_pty.h"

using vp::panel::Form1;
using vp::panel::Label;

namespace {

enum class Opened { ByLabel, ByMenuBar };

// What the operator does once the menu is open, over the entry "Switch on" of TMP1.
enum class Gesture { RightClick, RightPressDraggedOntoEntry, MiddleClick, LeftClick };

}  // namespace

Q_DECLARE_METATYPE(Opened)
Q_DECLARE_METATYPE(Gesture)

class TestPopUpMenus : public QObject {
    Q_OBJECT

private slots:
    void init() {
        p = std::make_unique<PanelOnPty>();
        p->app->link().Timer1->start();  // the status polls run on, as for the operator
        form = p->form;
        QVERIFY(p->Show());
        QTest::mouseClick(form->cmdConnect, Qt::LeftButton);
        menu = form->findChild<QMenu*>("mnuTmp1");
        QVERIFY(menu);
    }
    void cleanup() { p.reset(); }

    void onlyTheLeftButtonChooses_data() {
        QTest::addColumn<Opened>("opened");
        QTest::addColumn<Gesture>("gesture");
        QTest::addColumn<bool>("chosen");
        for (auto [by, name] :
             {std::pair{Opened::ByLabel, "pop-up"}, std::pair{Opened::ByMenuBar, "menu bar"}}) {
            const auto row = [&](const char* what, Gesture gesture, bool chosen) {
                QTest::addRow("%s, %s", name, what) << by << gesture << chosen;
            };
            row("right click on the entry", Gesture::RightClick, false);
            // The menu bar opens its menus with the left button only.
            if (by == Opened::ByLabel)
                row("right press dragged onto the entry", Gesture::RightPressDraggedOntoEntry,
                    false);
            row("middle click on the entry", Gesture::MiddleClick, false);
            row("left click on the entry", Gesture::LeftClick, true);
        }
    }

    void onlyTheLeftButtonChooses() {
        QFETCH(Opened, opened);
        QFETCH(Gesture, gesture);
        QFETCH(bool, chosen);
        QAction* switchOn = form->findChild<QAction*>("mnuTmp1On");
        QVERIFY(switchOn);

        bool stayedOpen = false;
        // Runs inside the menu's own event loop once it shows; afterwards it is closed.
        WhenShown([&] {
            const QPoint entry = menu->actionGeometry(switchOn).center();
            switch (gesture) {
                case Gesture::RightClick:
                    QTest::mouseClick(menu, Qt::RightButton, {}, entry);
                    break;
                case Gesture::RightPressDraggedOntoEntry:
                    QTest::mouseMove(menu, entry);
                    QTest::mouseRelease(menu, Qt::RightButton, {}, entry);
                    break;
                case Gesture::MiddleClick:
                    QTest::mouseClick(menu, Qt::MiddleButton, {}, entry);
                    break;
                case Gesture::LeftClick:
                    QTest::mouseClick(menu, Qt::LeftButton, {}, entry);
                    break;
            }
            stayedOpen = menu->isVisible();
            menu->close();
        });
        if (opened == Opened::ByLabel) {
            // The press opens the menu and the button is still down when it shows.
            QTest::mousePress(form->findChild<Label*>("lblTmp1"), Qt::RightButton);
        } else {
            QMenuBar* bar = form->menuBar();
            QTest::mouseClick(bar, Qt::LeftButton, {},
                              bar->actionGeometry(menu->menuAction()).center());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!menu->isVisible(), 5000);

        QCOMPARE(stayedOpen, !chosen);
        if (chosen) {
            QTRY_VERIFY_WITH_TIMEOUT(p->pty.Received().contains("080_247\r"), 2000);
        } else {
            // The polls run on: a frame of the command would be among them by now.
            const QByteArray before = p->pty.Received();
            QTRY_VERIFY_WITH_TIMEOUT(p->pty.Received().size() > before.size(), 2000);
            QVERIFY(!p->pty.Received().contains("080_247\r"));
        }
    }

private:
    void WhenShown(std::function<void()> act) {
        auto* poll = new QTimer(form);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, act] {
            if (!menu->isVisible()) return;
            poll->deleteLater();
            poll->stop();
            act();
        });
        poll->start(10);
    }

    std::unique_ptr<PanelOnPty> p;
    Form1* form = nullptr;
    QMenu* menu = nullptr;
};

QTEST_MAIN(TestPopUpMenus)
#include "tst_pop_up_menus.moc"

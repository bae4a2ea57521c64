// SPDX-License-Identifier: MIT
// The real menus, opened as the operator opens them (a right press on the diagram, a click on the
// menu bar) and clicked with the mouse: only the left button chooses an entry.
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>
#include <functional>

#include "support/link_probe.h"
#include "support/panel_on_pty.h"

using vp::panel::Form1;
using vp::panel::Label;

Q_DECLARE_METATYPE(Qt::MouseButton)

class TestPopUpMenus : public QObject {
    Q_OBJECT

private slots:
    void init() {
        p = std::make_unique<PanelOnPty>();
        // The status polls run on, as for the operator.
        vp::test::LinkProbe::StatusPoll(p->app->link()).start();
        form = p->form;
        QVERIFY(p->Show());
        QTest::mouseClick(form->cmdConnect, Qt::LeftButton);
        menu = form->findChild<QMenu*>("mnuTmp1");
        QVERIFY(menu);
    }
    void cleanup() { p.reset(); }

    // Over the entry "Switch on" of TMP1, once the menu is open.
    void onlyTheLeftButtonChooses_data() {
        QTest::addColumn<bool>("byMenuBar");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("dragged");  // pressed before the menu showed, released on the entry
        for (const bool byMenuBar : {false, true}) {
            const char* by = byMenuBar ? "menu bar" : "pop-up";
            QTest::addRow("%s, right click", by) << byMenuBar << Qt::RightButton << false;
            // The menu bar opens its menus with the left button only.
            if (!byMenuBar)
                QTest::addRow("%s, right press dragged onto the entry", by)
                    << byMenuBar << Qt::RightButton << true;
            QTest::addRow("%s, middle click", by) << byMenuBar << Qt::MiddleButton << false;
            QTest::addRow("%s, left click", by) << byMenuBar << Qt::LeftButton << false;
        }
    }

    void onlyTheLeftButtonChooses() {
        QFETCH(bool, byMenuBar);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, dragged);
        const bool chosen = button == Qt::LeftButton;
        QAction* switchOn = form->findChild<QAction*>("mnuTmp1On");
        QVERIFY(switchOn);

        bool stayedOpen = false;
        // Runs inside the menu's own event loop once it shows; afterwards it is closed.
        WhenShown([&] {
            const QPoint entry = menu->actionGeometry(switchOn).center();
            if (dragged) {
                QTest::mouseMove(menu, entry);
                QTest::mouseRelease(menu, button, {}, entry);
            } else {
                QTest::mouseClick(menu, button, {}, entry);
            }
            stayedOpen = menu->isVisible();
            menu->close();
        });
        if (!byMenuBar) {
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

// SPDX-License-Identifier: MIT
// The commands as the controller sees them: every button and menu entry, clicked for real, sends
// one frame the controller knows, signed right, a command of its own (only the mode buttons and
// the "Mode" menu share theirs). Then the three speed set-points: what the operator types, the
// colour the box answers with, and the frame that reaches the controller. Last, right-button
// presses on the diagram: which component's menu opens, from the shapes' hit rectangles and from
// the labels standing on them.
#include <QMenuBar>
#include <QtTest>
#include <set>

#include "panel/units.h"
#include "protocol/lines.h"
#include "sim/responder.h"
#include "support/panel_on_pty.h"
#include "support/state_probe.h"

using vp::panel::Label;
using vp::panel::Shape;
using vp::panel::TextBox;
using vp::panel::TwipsToPixels;

namespace {

constexpr vp::panel::ColourValue kRed = 0x000000FF;
constexpr vp::panel::ColourValue kWhite = 0x00FFFFFF;

struct Component {
    const char* shape;
    const char* menu;
};

// clang-format off
const Component kComponents[] = {
    {"shpTMP1", "mnuTmp1"}, {"shpTMP2", "mnuTmp2"}, {"shpRotary", "mnuRotary"}, {"shp1V1", "mnu1V1"},
    {"shp2V1", "mnu2V1"}, {"shp3V1", "mnu3V1"}, {"shp1V3", "mnu1V3"}, {"shpTG1", "mnuTG1"},
    {"shp1G1", "mnu1G1"}, {"shp2G1", "mnu2G1"}, {"shpTMPCooling", "mnuChiller"},
};
// clang-format on

}  // namespace

class TestOperatorCommands : public QObject {
    Q_OBJECT

private slots:
    void init() {
        panel = std::make_unique<PanelOnPty>();
        opened.clear();
        // Stands in for the pop-up, which the pop-up menus' own test opens for real.
        panel->form->contextMenus().PopupMenu = [this](QMenu* menu) {
            opened << menu->objectName();
        };
        QVERIFY(panel->Show());
    }
    void cleanup() { panel.reset(); }

    void eachControlSendsAKnownCommandOnce() {
        QVERIFY(panel->Open());
        std::map<QByteArray, QStringList> senders;
        int sent = 0;
        for (const QString& control : Controls()) {
            const qsizetype at = panel->pty.Received().size();
            Click(control);
            if (panel->Sent() == sent) {  // connection, clearing or an empty set-point
                QVERIFY2(control.startsWith("cmd"), qPrintable(control + " sends nothing"));
                continue;
            }
            Click(control);  // every click sends again: nothing is remembered between clicks
            sent += 2;
            QCOMPARE(panel->Sent(), sent);
            QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received().size() - at, 2 * 8, 2000);
            const QByteArray frame = panel->pty.Received().mid(at, 8);
            QCOMPARE(panel->pty.Received().mid(at + 8), frame);
            QVERIFY2(frame.endsWith('\r') && vp::test::Signed(frame.left(4)) == frame.chopped(1),
                     qPrintable(control));
            vp::sim::Plant plant;
            QVERIFY2(vp::sim::Respond(plant, frame.chopped(1)).body == frame.left(4) + char(150),
                     qPrintable(control + " is no command the controller knows"));
            senders[frame] << control;
        }
        panel->form->view().Render();
        QCOMPARE(panel->form->lblSentMessages->Caption(), QString::number(sent) + " sent messages");
        QStringList mode;
        for (QAction* entry : panel->form->mnuMode->actions()) mode << entry->objectName();
        for (const auto& [frame, controls] : senders)
            QVERIFY2(controls.size() == 1 || (controls.size() == 2 && mode.contains(controls[1]) &&
                                              controls[0].startsWith("cmd")),
                     qPrintable(controls.join(',')));
        QCOMPARE(sent, 2 * 43);
        QCOMPARE(senders.size(), std::size_t(37));
    }

    // A value the box accepts stays white though nothing can be sent.
    void closedPortOnlySaysNotConnected() {
        Box("txtHighVacuumSpeed")->SetBackColor(kRed);
        Box("txtHighVacuumSpeed")->setText("75");
        int refused = 0;
        for (const QString& control : Controls()) {
            panel->app->state().SetCaption(vp::state::Text::txtStatus, "");
            Click(control);
            refused += panel->app->state().Caption(vp::state::Text::txtStatus) == "Not connected!";
        }
        QCOMPARE(refused, 44);
        QCOMPARE(Box("txtHighVacuumSpeed")->BackColor(), kWhite);
        QCOMPARE(panel->Sent(), 0);
        QVERIFY(!vp::test::StateProbe::SendLamp(panel->app->linkDisplay()).isActive());
        QVERIFY(panel->pty.Received().isEmpty());
    }

    // A frame the line refuses (its far end gone) is said where the operator looks, by the
    // command buttons and the set-points alike, and counts as nothing sent. The handlers are
    // called directly: a click would let the port see the hang-up and close first.
    void refusedFrameIsShown_data() {
        QTest::addColumn<bool>("setPoint");
        QTest::newRow("command") << false;
        QTest::newRow("set-point") << true;
    }
    void refusedFrameIsShown() {
        QFETCH(bool, setPoint);
        QVERIFY(panel->Open());
        Box("txtHighVacuumSpeed")->setText("75");
        panel->app->state().SetCaption(vp::state::Text::txtStatus, "");
        panel->pty.Close();
        if (setPoint)
            panel->form->setPoints().cmdHighVacuumSpeed_Click();
        else
            panel->form->commands().Command_Click(121);
        QCOMPARE(QString::fromStdString(panel->app->state().Caption(vp::state::Text::txtStatus)),
                 QStringLiteral("Port 3: Error writing comm device"));
        QCOMPARE(panel->Sent(), 0);
    }

    void typedValue_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("frame");  // empty: refused, box red
        // clang-format off
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("20 lowest") << "20" << QByteArray("034_020136\r");
        QTest::newRow("100 highest") << "100" << QByteArray("034_100135\r");
        QTest::newRow("19") << "19" << QByteArray();
        QTest::newRow("101") << "101" << QByteArray();
        QTest::newRow("inner blank 5 0") << "5 0" << QByteArray("034_050139\r");
        QTest::newRow("trailing letters 50x") << "50x" << QByteArray("034_050139\r");
        QTest::newRow("20.0 four characters") << "20.0" << QByteArray();
        QTest::newRow("4e4 beyond 16 bits") << "4e4" << QByteArray();
        // clang-format on
    }

    void typedValue() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, frame);
        const bool accepted = !frame.isEmpty();
        QVERIFY(panel->Open());
        TextBox* text = Box("txtTMPspeed");
        text->setText(typed);
        // Start from the other colour, so the click has to set the one expected.
        text->SetBackColor(accepted ? kRed : kWhite);

        Send("cmdTMPspeed");

        QCOMPARE(text->BackColor(), accepted ? kWhite : kRed);
        QCOMPARE(text->text(), typed);  // never cleared or rewritten
        QCOMPARE(panel->Sent(), int(accepted));
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), frame, 2000);
    }

    // Each box has its own command, and red stays until its own next accepted send.
    void boxesAreIndependent() {
        QVERIFY(panel->Open());
        Box("txtTMPspeed")->setText("50");
        Box("txtGlowDischargeSpeed")->setText("19");
        Box("txtHighVacuumSpeed")->setText("50");

        Send("cmdGlowDischargeSpeed");
        Send("cmdHighVacuumSpeed");

        QCOMPARE((QList<vp::panel::ColourValue>{Box("txtGlowDischargeSpeed")->BackColor(),
                                                Box("txtHighVacuumSpeed")->BackColor(),
                                                Box("txtTMPspeed")->BackColor()}),
                 (QList<vp::panel::ColourValue>{kRed, kWhite, kWhite}));
        // Only the high-vacuum value went out; the TMP box, never sent, sent nothing.
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), QByteArray("037_050142\r"), 2000);
        QCOMPARE(panel->Sent(), 1);

        Box("txtGlowDischargeSpeed")->setText("20");
        QCOMPARE(Box("txtGlowDischargeSpeed")->BackColor(), kRed);  // typing alone changes nothing
        Send("cmdGlowDischargeSpeed");
        QCOMPARE(Box("txtGlowDischargeSpeed")->BackColor(), kWhite);
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), QByteArray("037_050142\r036_020138\r"),
                                  2000);
    }

    // Inside, the corners count (an oval's too); the rectangle's own edges belong to no one, and
    // no two components' rectangles overlap.
    void hitRectanglesAreOpenAndApart() {
        for (const Component& c : kComponents) {
            const QRectF r = HitRect(c.shape);
            opened.clear();
            for (const qreal x : {r.left(), r.left() + 1, r.right() - 1, r.right()})
                for (const qreal y : {r.top(), r.top() + 1, r.bottom() - 1, r.bottom()})
                    Press(Qt::RightButton, x, y);
            QCOMPARE(opened, QStringList(4, c.menu));
            for (const Component& b : kComponents)
                QVERIFY2(&c == &b || !r.intersects(HitRect(b.shape)), c.shape);
        }
    }

    // The left and middle buttons open nothing, on the bare surface or on a label; which menu a
    // right press on a label opens is checked over the whole surface.
    void onlyTheRightButtonOpens() {
        // Low on TMP1, clear of its labels: the press lands on the surface itself.
        const QPoint low(TwipsToPixels(2880), TwipsToPixels(3690));
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
            QTest::mouseClick(panel->form->surface(), button, {}, low);
            Press(button, 2880, 3690);
            for (Label* l : panel->form->surface()->findChildren<Label*>())
                QTest::mouseClick(l, button);
        }
        QVERIFY2(opened.isEmpty(), qPrintable(opened.join(',')));
        Press(Qt::RightButton, 2880, 3690);
        QCOMPARE(opened, QStringList{"mnuTmp1"});
    }

    // Real right clicks over the whole client area, delivered by the window to whatever stands
    // there: a menu opens only over its component or a label on it, never over "Branch 1",
    // "Branch 2", "Mode" or a part without a menu, and each component's menu opens somewhere.
    void wholeSurfaceOpensOnlyComponentMenus() {
        QWidget* surface = panel->form->surface();
        QWindow* window = panel->form->windowHandle();
        std::set<QString> reached;
        for (int py = 1; py < surface->height(); py += 3) {
            for (int px = 1; px < surface->width(); px += 3) {
                opened.clear();
                const QPoint at(px, py);
                QTest::mouseClick(window, Qt::RightButton, {}, surface->mapTo(panel->form, at));
                if (opened.isEmpty()) continue;
                QWidget* under = surface->childAt(at);
                const QRect pressed = under ? under->geometry() : QRect(at, QSize(1, 1));
                const Component* c = Owner(opened.first());
                QVERIFY2(opened.size() == 1 && c &&
                             shape(c->shape)->geometry().adjusted(-1, -1, 1, 1).intersects(pressed),
                         qPrintable(
                             QStringLiteral("%1 at %2,%3").arg(opened.join(',')).arg(px).arg(py)));
                reached.insert(opened.first());
            }
        }
        QCOMPARE(reached.size(), std::size(kComponents));
    }

    void statusLabelsOpenOnlyTheirComponentsMenu() {
        label("lbl1V1status")->SetCaption("open");
        label("lblRotaryStatus")->SetCaption("tripped");
        QTest::mouseClick(label("lbl1V1status"), Qt::RightButton);
        QTest::mouseClick(label("lblRotaryStatus"), Qt::RightButton);
        QCOMPARE(opened, (QStringList{"mnu1V1", "mnuRotary"}));

        // The label's left edge lies over the last twips of valve 3V1's rectangle: a press there on
        // the bare surface would open "3V1", a press on the label opens nothing.
        Label* status = label("lbl3V1status");
        const QPoint onLabel(0, status->height() / 2);
        const QPoint onSurface = status->mapTo(panel->form->surface(), onLabel);
        opened.clear();
        Press(Qt::RightButton, onSurface.x() * 15.0f, onSurface.y() * 15.0f);
        QCOMPARE(opened, QStringList{"mnu3V1"});

        opened.clear();
        QTest::mouseClick(status, Qt::RightButton, {}, onLabel);
        QTest::mouseClick(status, Qt::RightButton);
        QVERIFY2(opened.isEmpty(), qPrintable(opened.join(',')));
    }

private:
    TextBox* Box(const QString& name) { return panel->form->findChild<TextBox*>(name); }
    void Send(const QString& button) {
        QTest::mouseClick(panel->form->findChild<QPushButton*>(button), Qt::LeftButton);
    }

    // Every button but the two of the connection, then every entry of the menu bar.
    QStringList Controls() {
        QStringList names;
        for (auto* button : panel->form->findChildren<QPushButton*>())
            if (button != panel->form->cmdConnect && button != panel->form->cmdDisconnect)
                names << button->objectName();
        for (QAction* menu : panel->form->menuBar()->actions())
            for (QAction* entry : menu->menu()->actions()) names << entry->objectName();
        return names;
    }
    // A real click: the mouse on a button, the entry's own trigger for a menu entry.
    void Click(const QString& name) {
        if (auto* button = panel->form->findChild<QPushButton*>(name))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            panel->form->findChild<QAction*>(name)->trigger();
    }

    static const Component* Owner(const QString& menu) {
        for (const Component& c : kComponents)
            if (c.menu == menu) return &c;
        return nullptr;
    }
    Shape* shape(const QString& name) { return panel->form->findChild<Shape*>(name); }
    QRectF HitRect(const char* name) {
        const Shape* s = shape(name);
        return QRectF(s->Left(), s->Top(), s->Width(), s->Height());
    }
    Label* label(const QString& name) { return panel->form->findChild<Label*>(name); }
    void Press(Qt::MouseButton button, float x, float y) {
        panel->form->contextMenus().Form_MouseDown(button, x, y);
    }

    std::unique_ptr<PanelOnPty> panel;
    QStringList opened;
};

QTEST_MAIN(TestOperatorCommands)
#include "tst_operator_commands.moc"

// The commands as the controller sees them: every button and menu entry, clicked for real, sends
// one frame the controller knows, signed right, a command of its own (only the mode buttons and
// the "Mode" menu share theirs). Which entry sends which frame is checked where the operator
// reaches it: the context and pop-up menus, and the three speed set-points here: what the
// operator types, the colour the box answers with, and the frame that reaches the controller.
#include <QMenuBar>
#include <QtTest>
#include <set>

#include "protocol/lines.h"
#include "sim/responder.h"
#include "support/panel_on_pty.h"

using vp::panel::TextBox;

namespace {
constexpr vp::panel::ColourValue kRed = 0x000000FF;
constexpr vp::panel::ColourValue kWhite = 0x00FFFFFF;
}  // namespace

class TestOperatorCommands : public QObject {
    Q_OBJECT

private slots:
    void init() {
        panel = std::make_unique<PanelOnPty>();
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

    void closedPortOnlySaysNotConnected() {
        const auto lamp = panel->form->shpSend->FillColor();
        int refused = 0;
        for (const QString& control : Controls()) {
            panel->app->state().SetCaption(vp::state::Text::txtStatus, "");
            Click(control);
            refused += panel->app->state().Caption(vp::state::Text::txtStatus) == "Not connected!";
        }
        QCOMPARE(refused, 43);
        QCOMPARE(panel->Sent(), 0);
        QCOMPARE(panel->form->lblSentMessages->Caption(), QStringLiteral("0 sent messages"));
        QCOMPARE(panel->form->shpSend->FillColor(), lamp);
        QVERIFY(!panel->app->linkDisplay().Timer3->isActive());
        QVERIFY(panel->pty.Received().isEmpty());
    }

    // The box and its button share a name after their prefixes.
    void typedValue_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("frame");  // empty: refused, box red
        const auto row = [](const char* name, const char* control, const QString& typed,
                            const char* frame) {
            QTest::newRow(name) << QString(control) << typed << QByteArray(frame);
        };
        const char *tmp = "TMPspeed", *glow = "GlowDischargeSpeed", *high = "HighVacuumSpeed";
        // clang-format off
        row("empty", tmp, "", "");
        row("20 lowest", tmp, "20", "034_020136\r");
        row("100 highest", tmp, "100", "034_100135\r");
        row("19", tmp, "19", "");
        row("101", tmp, "101", "");
        row("inner blank 5 0", tmp, "5 0", "034_050139\r");
        row("trailing letters 50x", tmp, "50x", "034_050139\r");
        row("leading letter x50", tmp, "x50", "");
        row("exponent 1e2", tmp, "1e2", "034_100135\r");
        row("9.5 rounds to 10", tmp, "9.5", "");
        row("20.0 four characters", tmp, "20.0", "");
        row("4e4 beyond 16 bits", tmp, "4e4", "");
        row("40000 characters", tmp, QString(40000, QLatin1Char('5')), "");
        row("50 and 39998 blanks", tmp, "50" + QString(39998, QLatin1Char(' ')), "");
        row("glow discharge 50", glow, "50", "036_050141\r");
        row("glow discharge 1e999", glow, "1e999", "");
        row("high vacuum 75", high, "75", "037_075149\r");
        row("high vacuum 101", high, "101", "");
        // clang-format on
    }

    void typedValue() {
        QFETCH(QString, control);
        QFETCH(QString, typed);
        QFETCH(QByteArray, frame);
        const bool accepted = !frame.isEmpty();
        QVERIFY(panel->Open());
        TextBox* text = Box("txt" + control);
        QVERIFY(text);
        text->setMaxLength(50000);  // above the line edit's own 32767, so the handler sees all
        text->setText(typed);
        QCOMPARE(text->text().size(), typed.size());
        const QString shown = text->text();
        // Start from the other colour, so the click has to set the one expected.
        text->SetBackColor(accepted ? kRed : kWhite);

        Send("cmd" + control);

        QCOMPARE(text->BackColor(), accepted ? kWhite : kRed);
        QCOMPARE(text->text(), shown);  // never cleared or rewritten
        QCOMPARE(panel->Sent(), int(accepted));
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), frame, 2000);
    }

    void redStaysUntilTheNextAcceptedSend() {
        QVERIFY(panel->Open());
        TextBox* box = Box("txtTMPspeed");
        box->setText("19");
        Send("cmdTMPspeed");
        QCOMPARE(box->BackColor(), kRed);

        box->setText("60");
        QCOMPARE(box->BackColor(), kRed);  // typing alone changes nothing
        QCOMPARE(panel->Sent(), 0);
        Send("cmdTMPspeed");
        QCOMPARE(box->BackColor(), kWhite);
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), QByteArray("034_060140\r"), 2000);
    }

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
        Send("cmdGlowDischargeSpeed");
        QCOMPARE(Box("txtGlowDischargeSpeed")->BackColor(), kWhite);
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), QByteArray("037_050142\r036_020138\r"),
                                  2000);
    }

    void acceptedStaysWhiteWhenNotConnected() {
        TextBox* box = Box("txtHighVacuumSpeed");
        box->SetBackColor(kRed);
        box->setText("75");
        Send("cmdHighVacuumSpeed");
        panel->form->view().Render();
        QCOMPARE(panel->form->txtStatus->text(), QStringLiteral("Not connected!"));
        QCOMPARE(box->BackColor(), kWhite);
        QCOMPARE(panel->Sent(), 0);
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

    std::unique_ptr<PanelOnPty> panel;
};

QTEST_MAIN(TestOperatorCommands)
#include "tst_operator_commands.moc"

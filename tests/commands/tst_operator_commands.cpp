// The command catalogue as the controller sees it: every button and menu entry, clicked for
// real, arrives at the far end of the line as its exact frame, once.
#include <QMenuBar>
#include <QtTest>

#include "panel_on_pty.h"

using vp::panel::Form1;

namespace {

struct Entry {
    const char* control;
    const char* frame;  // as on the wire: body, checksum, CR
};

// Written out by hand from the catalogue, not derived from the code under test. The mode
// buttons and the "Mode" entries share their frames byte for byte.
// clang-format off
const Entry kCatalogue[] = {
    {"cmdIdleMode", "120_242\r"}, {"cmdHigh", "121_243\r"}, {"cmdPrimary", "122_244\r"},
    {"cmdUnsafeMode", "123_245\r"}, {"cmdStop", "124_246\r"}, {"cmdGlowDischarge", "125_247\r"},
    {"cmdTmpErrorsReset", "039_251\r"}, {"cmdGaugeErrorsReset", "091_249\r"},
    {"cmdIcpconErrorsReset", "093_251\r"},
    {"mnuTmp1On", "080_247\r"}, {"mnuTmp1Off", "081_248\r"}, {"mnuTmp2On", "082_249\r"},
    {"mnuTmp2Off", "083_250\r"}, {"mnuRotaryOn", "109_249\r"}, {"mnuRotaryOff", "110_241\r"},
    {"mnu1V1Open", "062_247\r"}, {"mnu1V1Close", "063_248\r"}, {"mnu2V1Open", "064_249\r"},
    {"mnu2V1Close", "065_250\r"}, {"mnu1V3Open", "066_251\r"}, {"mnu1V3Close", "067_252\r"},
    {"mnu3V1Open", "060_245\r"}, {"mnu3V1Close", "061_246\r"}, {"mnuTG1_filament_on", "106_246\r"},
    {"mnuTG1_filament_off", "103_243\r"}, {"mnuTG1_degas", "101_241\r"},
    {"mnu1G1_filament_on", "107_247\r"},
    {"mnu1G1_filament_off", "104_244\r"}, {"mnu1G1_degas", "100_240\r"},
    {"mnu2G1_kk_sensor_on", "105_245\r"},
    {"mnu2G1_kk_sensor_off", "102_242\r"}, {"mnuChillerStart", "084_251\r"},
    {"mnuChillerStop", "085_252\r"},
    {"mnuBranch1Activate", "130_243\r"}, {"mnuBranch1Deactivate", "132_245\r"},
    {"mnuBranch2Activate", "131_244\r"},
    {"mnuBranch2Deactivate", "133_246\r"}, {"mnuIdle", "120_242\r"}, {"mnuHighVacuum", "121_243\r"},
    {"mnuGlowDischarge", "125_247\r"}, {"mnuPrimaryVacuum", "122_244\r"},
    {"mnuUnsafeMode", "123_245\r"},
    {"mnuStop", "124_246\r"},
};
// clang-format on

}  // namespace

class TestOperatorCommands : public QObject {
    Q_OBJECT

private slots:
    void init() {
        panel = std::make_unique<PanelOnPty>();
        QVERIFY(panel->Show());
    }
    void cleanup() { panel.reset(); }

    void eachControlSendsItsFrameOnce_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QByteArray>("frame");
        for (const Entry& e : kCatalogue)
            QTest::newRow(e.control) << e.control << QByteArray(e.frame);
    }

    void eachControlSendsItsFrameOnce() {
        QFETCH(QString, control);
        QFETCH(QByteArray, frame);
        QVERIFY(panel->Open());
        QVERIFY(Click(control));
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), frame, 2000);
        QCOMPARE(panel->Sent(), 1);
        panel->form->view().Render();
        QCOMPARE(panel->form->lblSentMessages->Caption(), QStringLiteral("1 sent messages"));
        // Every click sends again: nothing is remembered between clicks.
        QVERIFY(Click(control));
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), frame + frame, 2000);
        QCOMPARE(panel->Sent(), 2);
    }

    void closedPortOnlySaysNotConnected_data() { eachControlSendsItsFrameOnce_data(); }

    void closedPortOnlySaysNotConnected() {
        QFETCH(QString, control);
        const auto lamp = panel->form->shpSend->FillColor();
        QVERIFY(Click(control));
        panel->form->view().Render();
        QCOMPARE(panel->form->txtStatus->text(), QStringLiteral("Not connected!"));
        QCOMPARE(panel->Sent(), 0);
        QCOMPARE(panel->form->lblSentMessages->Caption(), QStringLiteral("0 sent messages"));
        QCOMPARE(panel->form->shpSend->FillColor(), lamp);
        QVERIFY(!panel->app->linkDisplay().Timer3->isActive());
        QVERIFY(panel->pty.Received().isEmpty());
    }

    // A menu entry added to the bar without a command would silently do nothing.
    void everyMenuEntryIsInTheCatalogue() {
        QStringList inBar;
        for (QAction* menu : panel->form->menuBar()->actions())
            for (QAction* entry : menu->menu()->actions()) inBar << entry->objectName();
        QStringList inCatalogue;
        for (const Entry& e : kCatalogue)
            if (QByteArray(e.control).startsWith("mnu")) inCatalogue << e.control;
        QCOMPARE(inBar.size(), 34);
        inBar.sort();
        inCatalogue.sort();
        QCOMPARE(inBar, inCatalogue);
    }

private:
    // A real click: the mouse on a button, the entry's own trigger for a menu entry.
    bool Click(const QString& name) {
        if (auto* button = panel->form->findChild<QPushButton*>(name)) {
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        }
        if (auto* entry = panel->form->findChild<QAction*>(name)) {
            entry->trigger();
            return true;
        }
        return false;
    }

    std::unique_ptr<PanelOnPty> panel;
};

QTEST_MAIN(TestOperatorCommands)
#include "tst_operator_commands.moc"

// The three speed set-points: what the operator types, the colour the box answers with, and the
// frame that reaches the controller.
#include <QtTest>

#include "panel_on_pty.h"

using vp::panel::ColourValue;
using vp::panel::TextBox;

namespace {
constexpr ColourValue kRed = 0x000000FF;
constexpr ColourValue kWhite = 0x00FFFFFF;
}  // namespace

class TestSetPoints : public QObject {
    Q_OBJECT

private slots:
    void init() {
        panel = std::make_unique<PanelOnPty>();
        panel->form->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel->form.get()));
    }
    void cleanup() { panel.reset(); }

    void typedValue_data();
    void typedValue();
    void redStaysUntilTheNextAcceptedSend();
    void boxesAreIndependent();
    void acceptedStaysWhiteWhenNotConnected();

private:
    TextBox* Box(const QString& name) { return panel->form->findChild<TextBox*>(name); }
    void Send(const QString& button) {
        QTest::mouseClick(panel->form->findChild<QPushButton*>(button), Qt::LeftButton);
    }

    std::unique_ptr<PanelOnPty> panel;
};

void TestSetPoints::typedValue_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("frame");  // empty: refused, box red

    const QString tmp = QStringLiteral("cmdTMPspeed");
    const QString tmpBox = QStringLiteral("txtTMPspeed");
    auto row = [&](const char* name, const QString& typed, const char* frame) {
        QTest::newRow(name) << tmp << tmpBox << typed << QByteArray(frame);
    };
    row("empty", "", "");
    row("20 lowest", "20", "034_020136\r");
    row("100 highest", "100", "034_100135\r");
    row("19", "19", "");
    row("101", "101", "");
    row("0", "0", "");
    row("-50", "-50", "");
    row("inner blank 5 0", "5 0", "034_050139\r");
    row("leading blank", " 75", "034_075146\r");
    row("trailing letters 50x", "50x", "034_050139\r");
    row("leading letter x50", "x50", "");
    row("exponent 1e2", "1e2", "034_100135\r");
    row("exponent 2e1", "2e1", "034_020136\r");
    row("9.5 rounds to 10", "9.5", "");
    row("20.0 four characters", "20.0", "");
    row("&H32 four characters", "&H32", "");
    row("4e4 beyond 16 bits", "4e4", "");
    row("9e9 beyond 16 bits", "9e9", "");
    row("40000 characters", QString(40000, QLatin1Char('5')), "");
    row("50 and 39998 blanks", QStringLiteral("50") + QString(39998, QLatin1Char(' ')), "");

    QTest::newRow("glow discharge 50") << "cmdGlowDischargeSpeed"
                                       << "txtGlowDischargeSpeed"
                                       << "50" << QByteArray("036_050141\r");
    QTest::newRow("glow discharge 100") << "cmdGlowDischargeSpeed"
                                        << "txtGlowDischargeSpeed"
                                        << "100" << QByteArray("036_100137\r");
    QTest::newRow("glow discharge 1e999") << "cmdGlowDischargeSpeed"
                                          << "txtGlowDischargeSpeed"
                                          << "1e999" << QByteArray();
    QTest::newRow("high vacuum 75") << "cmdHighVacuumSpeed"
                                    << "txtHighVacuumSpeed"
                                    << "75" << QByteArray("037_075149\r");
    QTest::newRow("high vacuum 20") << "cmdHighVacuumSpeed"
                                    << "txtHighVacuumSpeed"
                                    << "20" << QByteArray("037_020139\r");
    QTest::newRow("high vacuum 101") << "cmdHighVacuumSpeed"
                                     << "txtHighVacuumSpeed"
                                     << "101" << QByteArray();
}

void TestSetPoints::typedValue() {
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QByteArray, frame);
    const bool accepted = !frame.isEmpty();
    QVERIFY(panel->Open());
    TextBox* text = Box(box);
    QVERIFY(text);
    // The line edit's own limit (32767) would cut the longest rows short; lift it so the
    // handler sees them whole.
    text->setMaxLength(50000);
    text->setText(typed);
    QCOMPARE(text->text().size(), typed.size());
    const QString shown = text->text();
    // Start from the other colour, so the click has to set the one expected.
    text->SetBackColor(accepted ? kRed : kWhite);

    Send(button);

    QCOMPARE(text->BackColor(), accepted ? kWhite : kRed);
    QCOMPARE(text->text(), shown);  // never cleared or rewritten
    if (accepted) {
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), frame, 2000);
        QCOMPARE(panel->Sent(), 1);
    } else {
        QCOMPARE(panel->Sent(), 0);
        QVERIFY(panel->pty.Received().isEmpty());
    }
}

void TestSetPoints::redStaysUntilTheNextAcceptedSend() {
    QVERIFY(panel->Open());
    TextBox* box = Box("txtTMPspeed");
    box->setText("19");
    Send("cmdTMPspeed");
    QCOMPARE(box->BackColor(), kRed);

    box->setText("60");
    QCOMPARE(box->BackColor(), kRed);  // typing alone changes nothing
    box->setText("101");
    Send("cmdTMPspeed");
    QCOMPARE(box->BackColor(), kRed);
    QCOMPARE(panel->Sent(), 0);

    box->setText("60");
    Send("cmdTMPspeed");
    QCOMPARE(box->BackColor(), kWhite);
    QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), QByteArray("034_060140\r"), 2000);
}

void TestSetPoints::boxesAreIndependent() {
    QVERIFY(panel->Open());
    Box("txtTMPspeed")->setText("50");
    Box("txtGlowDischargeSpeed")->setText("19");
    Box("txtHighVacuumSpeed")->setText("50");

    Send("cmdGlowDischargeSpeed");
    Send("cmdHighVacuumSpeed");

    QCOMPARE(Box("txtGlowDischargeSpeed")->BackColor(), kRed);
    QCOMPARE(Box("txtHighVacuumSpeed")->BackColor(), kWhite);
    QCOMPARE(Box("txtTMPspeed")->BackColor(), kWhite);
    // Only the high-vacuum value went out; the TMP box, never sent, sent nothing.
    QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), QByteArray("037_050142\r"), 2000);
    QCOMPARE(panel->Sent(), 1);

    Box("txtGlowDischargeSpeed")->setText("20");
    Send("cmdGlowDischargeSpeed");
    QCOMPARE(Box("txtGlowDischargeSpeed")->BackColor(), kWhite);
    QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), QByteArray("037_050142\r036_020138\r"), 2000);
}

void TestSetPoints::acceptedStaysWhiteWhenNotConnected() {
    TextBox* box = Box("txtHighVacuumSpeed");
    box->SetBackColor(kRed);
    box->setText("75");
    Send("cmdHighVacuumSpeed");
    QCOMPARE(panel->form->txtStatus->text(), QStringLiteral("Not connected!"));
    QCOMPARE(box->BackColor(), kWhite);
    QCOMPARE(panel->Sent(), 0);
}

QTEST_MAIN(TestSetPoints)
#include "tst_set_points.moc"

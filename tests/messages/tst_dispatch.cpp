// HandleMessage end to end on a real window: which controls each kind of message writes, and
// that it writes nothing else.
#include <QtTest>
#include <memory>

#include "messages/result_codes.h"
#include "status/form_state.h"

using vp::panel::Form1;
using namespace vp::test;

namespace {

const QByteArray kOk = Byte(150);

// A status report of the right length; its fields do not matter here.
QByteArray StatusReport(int code) {
    return Framed("111_" + Byte(code) + QByteArray(73, '0'));
}

QString Latin1(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

}  // namespace

class TestDispatch : public QObject {
    Q_OBJECT

private slots:
    void init() { form = std::make_unique<Form1>(); }
    void cleanup() { form.reset(); }

    void messageWritesOnlyItsControls_data();
    void messageWritesOnlyItsControls();
    void listsKeepTheNewestTen_data();
    void listsKeepTheNewestTen();
    void clearEmptiesListsAndRestartsTheCount();
    void crcCountStopsAtTheTop();
    void everyResultCodeByte();

private:
    void send(const QByteArray& message) {
        form->dispatcher().HandleMessage(message.toStdString());
    }
    std::unique_ptr<Form1> form;
};

void TestDispatch::messageWritesOnlyItsControls_data() {
    QTest::addColumn<QList<QByteArray>>("messages");
    QTest::addColumn<FormState>("changes");

    QByteArray badReport = StatusReport(150);
    badReport[80] = badReport[80] == '9' ? '0' : '9';
    const QString crc1 = " 1 received crc errors";
    const QString op1 = "1 operation errors";
    const QString icpcon = "170 (no response from icpcon)";
    const QByteArray reply091 = Framed("091_" + kOk);
    const QByteArray abc = Framed("ABC_" + kOk);

    QTest::newRow("crc failure") << QList{badReport} << FormState{{"lblCrcErrors", crc1}};
    QTest::newRow("crc failures add up")
        << QList{badReport, badReport} << FormState{{"lblCrcErrors", " 2 received crc errors"}};
    QTest::newRow("empty is a crc failure")
        << QList{QByteArray()} << FormState{{"lblCrcErrors", crc1}};
    QTest::newRow("two bytes are a crc failure")
        << QList{QByteArray("00")} << FormState{{"lblCrcErrors", crc1}};
    QTest::newRow("error report on a status report")
        << QList{StatusReport(170)}
        << FormState{{"lstErrors", icpcon}, {"lblOperationErrors", op1}};
    QTest::newRow("error code without text")
        << QList{Framed("090_" + Byte(151) + "00003")}
        << FormState{{"lstErrors", "151 ()"}, {"lblOperationErrors", op1}};
    QTest::newRow("hours") << QList{Framed("040_" + kOk + "001234000010")}
                           << FormState{{"lblTMP1OperatingHours", "TMP1: 1234 hours"},
                                        {"lblTMP2OperatingHours", "TMP2: 10 hours"},
                                        {"shpTMP1OperatingHours", Fill(vp::panel::kWhite)},
                                        {"shpTMP2OperatingHours", Fill(vp::panel::kWhite)}};
    QTest::newRow("zero hours show no number")
        << QList{Framed("040_" + kOk + "000000000000")}
        << FormState{{"lblTMP1OperatingHours", "TMP1:  hours"},
                     {"lblTMP2OperatingHours", "TMP2:  hours"},
                     {"shpTMP1OperatingHours", Fill(vp::panel::kWhite)},
                     {"shpTMP2OperatingHours", Fill(vp::panel::kWhite)}};
    QTest::newRow("hours not OK") << QList{Framed("040_" + Byte(149) + "001234000010")}
                                  << FormState{{"lblTMP1OperatingHours", "TMP1: ------"},
                                               {"lblTMP2OperatingHours", "TMP2: ------"},
                                               {"shpTMP1OperatingHours", Fill(vp::panel::kRed)},
                                               {"shpTMP2OperatingHours", Fill(vp::panel::kRed)}};
    QTest::newRow("hours error report")
        << QList{Framed("040_" + Byte(170) + "001234000010")}
        << FormState{{"lstErrors", icpcon}, {"lblOperationErrors", op1}};
    QTest::newRow("TMP counts") << QList{Framed("038_" + kOk + "0000300012")}
                                << FormState{{"lblTMP1Errors", "TMP1 errors: 3"},
                                             {"lblTMP2Errors", "TMP2 errors: 12"}};
    QTest::newRow("gauge counts") << QList{Framed("090_" + kOk + "00003000000001200001")}
                                  << FormState{{"lblTG1Errors", "TG1 errors: 3"},
                                               {"lbl1G1Errors", "1G1 errors: 0"},
                                               {"lbl2G1Errors", "2G1 errors: 12"},
                                               {"lbl1G3Errors", "1G3 errors: 1"}};
    QTest::newRow("icpcon counts") << QList{Framed("092_" + kOk + "0000300000000120000000001")}
                                   << FormState{{"lblIcpcon1Errors", "Icpcon 1 errors: 3"},
                                                {"lblIcpcon2Errors", "Icpcon 2 errors: 0"},
                                                {"lblIcpcon3Errors", "Icpcon 3 errors: 12"},
                                                {"lblIcpcon4Errors", "Icpcon 4 errors: 0"},
                                                {"lblIcpcon5Errors", "Icpcon 5 errors: 1"}};
    // The second message ends after its checksum digits, which TMP1's field then reads:
    // "038_" and byte 150 sum to 144.
    QTest::newRow("count beyond the end reads 0")
        << QList{Framed("038_" + kOk + "0000500005"), Framed("038_" + kOk)}
        << FormState{{"lblTMP1Errors", "TMP1 errors: 144"}, {"lblTMP2Errors", "TMP2 errors: 0"}};
    QTest::newRow("warning 220") << QList{Framed("220_" + kOk)}
                                 << FormState{{"lstWarnings", " 220 (OP_ERR_PNEUMATIC_PRESSURE)"}};
    QTest::newRow("warning 234") << QList{Framed("234_" + kOk)}
                                 << FormState{
                                        {"lstWarnings", " 234 (OP_MANUAL_INTERVENTION_NEEDED)"}};
    QTest::newRow("warning 235") << QList{Framed("235_" + kOk)}
                                 << FormState{{"lstWarnings", " 235 (OP_ROTARY_PUMP_TRIP)"}};
    QTest::newRow("237 is no warning")
        << QList{Framed("237_" + kOk)} << FormState{{"lstMessages", Latin1(Framed("237_" + kOk))}};
    QTest::newRow("reply listed whole")
        << QList{reply091} << FormState{{"lstMessages", Latin1(reply091)}};
    QTest::newRow("kind not a number") << QList{abc} << FormState{{"lstMessages", Latin1(abc)}};
    QTest::newRow("three bytes, then more")
        << QList{QByteArray("000"), reply091}
        << FormState{{"lstMessages", Latin1(reply091) + "\n000"}};
    QTest::newRow("four bytes, then more")
        << QList{QByteArray("A065"), Framed("220_" + kOk)}
        << FormState{{"lstMessages", "A065"}, {"lstWarnings", " 220 (OP_ERR_PNEUMATIC_PRESSURE)"}};
}

void TestDispatch::messageWritesOnlyItsControls() {
    QFETCH(QList<QByteArray>, messages);
    QFETCH(FormState, changes);
    const FormState before = StateOf(*form);
    for (const QByteArray& message : messages) send(message);
    QCOMPARE(Changes(before, StateOf(*form)), changes);
}

void TestDispatch::listsKeepTheNewestTen_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QList<QByteArray>>("messages");
    QTest::addColumn<QString>("newest");
    QTest::addColumn<QString>("oldestKept");

    QList<QByteArray> errors, warnings, messages;
    for (int i = 0; i < 11; ++i) {
        errors << Framed("090_" + Byte(160 + i));
        warnings << Framed(QByteArray::number(220 + i) + "_" + kOk);
        messages << Framed("091_" + kOk + QByteArray::number(i));
    }
    QTest::newRow("errors") << "lstErrors" << errors << "170 (no response from icpcon)"
                            << "161 ()";
    QTest::newRow("warnings") << "lstWarnings" << warnings << " 230 (OP_ERR_PUMP_TMP1)"
                              << " 221 (OP_ERR_TMP_COOLING)";
    QTest::newRow("messages") << "lstMessages" << messages << Latin1(messages.last())
                              << Latin1(messages[1]);
}

void TestDispatch::listsKeepTheNewestTen() {
    QFETCH(QString, list);
    QFETCH(QList<QByteArray>, messages);
    QFETCH(QString, newest);
    QFETCH(QString, oldestKept);
    auto* box = form->findChild<QListWidget*>(list);
    for (const QByteArray& message : messages) send(message);
    QCOMPARE(box->count(), 10);
    QCOMPARE(box->item(0)->text(), newest);
    QCOMPARE(box->item(9)->text(), oldestKept);
}

void TestDispatch::clearEmptiesListsAndRestartsTheCount() {
    for (const QByteArray& m : {Framed("090_" + Byte(170)), Framed("090_" + Byte(152)),
                                Framed("220_" + kOk), Framed("091_" + kOk), QByteArray("1")})
        send(m);
    QCOMPARE(form->lblOperationErrors->Caption(), "2 operation errors");
    const FormState before = StateOf(*form);

    form->cmdClearError->click();
    QCOMPARE(Changes(before, StateOf(*form)), (FormState{{"lstErrors", ""},
                                                         {"lstWarnings", ""},
                                                         {"lstMessages", ""},
                                                         {"lblOperationErrors", ""}}));
    send(Framed("090_" + Byte(170)));
    QCOMPARE(form->lblOperationErrors->Caption(), "1 operation errors");
}

void TestDispatch::crcCountStopsAtTheTop() {
    form->dispatcher().CrcErrorCount().Set(2147483646);
    send("1");
    send("1");
    QCOMPARE(form->lblCrcErrors->Caption(), " 2147483647 received crc errors");
    send(Framed("220_" + kOk));
    QCOMPARE(form->lstWarnings->count(), 1);
}

// Every byte value at position 5: above 150 an error report with its text, else the kind's own
// handler (here: listed raw).
void TestDispatch::everyResultCodeByte() {
    for (int code = 0; code < 256; ++code) {
        form->cmdClearError->click();
        const QByteArray message = Framed("091_" + Byte(code));
        send(message);
        const bool error = code > 150;
        QCOMPARE(form->lstErrors->count(), error ? 1 : 0);
        QCOMPARE(form->lstMessages->count(), error ? 0 : 1);
        if (error)
            QCOMPARE(form->lstErrors->item(0)->text(),
                     QString::number(code) + " (" +
                         QString::fromLatin1(vp::messages::ResultText(code)) + ")");
        else
            QCOMPARE(form->lstMessages->item(0)->text(), Latin1(message));
    }
}

QTEST_MAIN(TestDispatch)
#include "tst_dispatch.moc"

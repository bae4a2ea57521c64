// HandleMessage end to end on a real window: which controls each kind of message writes, and
// that it writes nothing else.
#include <QtTest>
#include <memory>

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

    void messageWritesOnlyItsControls_data() {
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::addColumn<FormState>("changes");

        const auto row = [](const char* name, QList<QByteArray> messages, FormState changes) {
            QTest::newRow(name) << messages << changes;
        };
        const auto hours = [](const QString& tmp1, const QString& tmp2,
                              vp::panel::ColourValue fill) {
            return FormState{{"lblTMP1OperatingHours", tmp1},
                             {"lblTMP2OperatingHours", tmp2},
                             {"shpTMP1OperatingHours", Fill(fill)},
                             {"shpTMP2OperatingHours", Fill(fill)}};
        };
        QByteArray badReport = StatusReport(150);
        badReport[80] = badReport[80] == '9' ? '0' : '9';
        const QString crc1 = " 1 received crc errors", op1 = "1 operation errors";
        const QString icpcon = "170 (no response from icpcon)";
        const QString pneumatic = " 220 (OP_ERR_PNEUMATIC_PRESSURE)";
        const QByteArray reply091 = Framed("091_" + kOk + Byte(0) + Byte(255));
        const QByteArray abc = Framed("ABC_" + kOk), kind237 = Framed("237_" + kOk);

        // clang-format off
    row("crc failure", {badReport}, {{"lblCrcErrors", crc1}});
    row("crc failures add up", {badReport, badReport},
        {{"lblCrcErrors", " 2 received crc errors"}});
    row("empty is a crc failure", {""}, {{"lblCrcErrors", crc1}});
    row("two bytes are a crc failure", {"00"}, {{"lblCrcErrors", crc1}});
    row("error report on a status report", {StatusReport(170)},
        {{"lstErrors", icpcon}, {"lblOperationErrors", op1}});
    row("error code without text", {Framed("090_" + Byte(151) + "00003")},
        {{"lstErrors", "151 ()"}, {"lblOperationErrors", op1}});
    row("hours", {Framed("040_" + kOk + "001234000010")},
        hours("TMP1: 1234 hours", "TMP2: 10 hours", vp::panel::kWhite));
    row("zero hours show no number", {Framed("040_" + kOk + "000000000000")},
        hours("TMP1:  hours", "TMP2:  hours", vp::panel::kWhite));
    row("hours not OK", {Framed("040_" + Byte(149) + "001234000010")},
        hours("TMP1: ------", "TMP2: ------", vp::panel::kRed));
    row("hours error report", {Framed("040_" + Byte(170) + "001234000010")},
        {{"lstErrors", icpcon}, {"lblOperationErrors", op1}});
    row("TMP counts", {Framed("038_" + kOk + "0000300012")},
        {{"lblTMP1Errors", "TMP1 errors: 3"}, {"lblTMP2Errors", "TMP2 errors: 12"}});
    row("gauge counts", {Framed("090_" + kOk + "00003000000001200001")},
        {{"lblTG1Errors", "TG1 errors: 3"}, {"lbl1G1Errors", "1G1 errors: 0"},
         {"lbl2G1Errors", "2G1 errors: 12"}, {"lbl1G3Errors", "1G3 errors: 1"}});
    row("icpcon counts", {Framed("092_" + kOk + "0000300000000120000000001")},
        {{"lblIcpcon1Errors", "Icpcon 1 errors: 3"}, {"lblIcpcon2Errors", "Icpcon 2 errors: 0"},
         {"lblIcpcon3Errors", "Icpcon 3 errors: 12"}, {"lblIcpcon4Errors", "Icpcon 4 errors: 0"},
         {"lblIcpcon5Errors", "Icpcon 5 errors: 1"}});
    // The second message ends with its checksum digits, which TMP1's field reads ("038_" and
    // byte 150 sum to 144); TMP2's field lies beyond the end.
    row("count beyond the end reads 0", {Framed("038_" + kOk + "0000500005"), Framed("038_" + kOk)},
        {{"lblTMP1Errors", "TMP1 errors: 144"}, {"lblTMP2Errors", "TMP2 errors: 0"}});
    row("warning 220", {Framed("220_" + kOk)}, {{"lstWarnings", pneumatic}});
    row("warning 234", {Framed("234_" + kOk)},
        {{"lstWarnings", " 234 (OP_MANUAL_INTERVENTION_NEEDED)"}});
    row("warning 235", {Framed("235_" + kOk)}, {{"lstWarnings", " 235 (OP_ROTARY_PUMP_TRIP)"}});
    row("237 is no warning", {kind237}, {{"lstMessages", Latin1(kind237)}});
    row("reply listed whole", {reply091}, {{"lstMessages", Latin1(reply091)}});
    row("kind not a number", {abc}, {{"lstMessages", Latin1(abc)}});
    row("three bytes, then more", {"000", reply091}, {{"lstMessages", Latin1(reply091) + "\n000"}});
    row("four bytes, then more", {"A065", Framed("220_" + kOk)},
        {{"lstMessages", "A065"}, {"lstWarnings", pneumatic}});
        // clang-format on
    }

    void messageWritesOnlyItsControls() {
        QFETCH(QList<QByteArray>, messages);
        QFETCH(FormState, changes);
        const FormState before = StateOf(*form);
        for (const QByteArray& message : messages) send(message);
        QCOMPARE(Changes(before, StateOf(*form)), changes);
    }

    void listsKeepTheNewestTen_data() {
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

    void listsKeepTheNewestTen() {
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

    void clearEmptiesListsAndRestartsTheCount() {
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

    void crcCountStopsAtTheTop() {
        form->dispatcher().CrcErrorCount().Set(2147483646);
        send("1");
        send("1");
        QCOMPARE(form->lblCrcErrors->Caption(), " 2147483647 received crc errors");
        send(Framed("220_" + kOk));
        QCOMPARE(form->lstWarnings->count(), 1);
    }

    // Every byte value at position 5: above 150 an error report with its text, else the kind's own
    // handler (here: listed raw).
    void everyResultCodeByte() {
        for (int code = 0; code < 256; ++code) {
            form->cmdClearError->click();
            const QByteArray message = Framed("091_" + Byte(code));
            send(message);
            const bool error = code > 150;
            QCOMPARE(form->lstErrors->count(), error ? 1 : 0);
            QCOMPARE(form->lstMessages->count(), error ? 0 : 1);
            // The texts themselves are checked against the controller's table with the codes.
            if (error)
                QVERIFY(form->lstErrors->item(0)->text().startsWith(QString::number(code) + " ("));
            else
                QCOMPARE(form->lstMessages->item(0)->text(), Latin1(message));
        }
    }

private:
    void send(const QByteArray& message) {
        form->dispatcher().HandleMessage(message.toStdString());
    }
    std::unique_ptr<Form1> form;
};

QTEST_MAIN(TestDispatch)
#include "tst_dispatch.moc"

// HandleMessage on the panel's state, no window: which controls, lists and counters each kind of
// message writes, and that it writes nothing else; Clear.
#include <QtTest>
#include <memory>

#include "protocol/lines.h"
#include "state/dispatcher.h"
#include "state/state_map.h"

using namespace vp::test;
using vp::state::List;
using vp::state::PanelState;

namespace {

const QByteArray kOk = Byte(150);

QString Latin1(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

}  // namespace

class TestDispatcher : public QObject {
    Q_OBJECT

private slots:
    void init() { s = std::make_unique<PanelState>(); }

    void messageWritesOnlyItsControls_data() {
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::addColumn<StateMap>("changes");
        const auto row = [](const char* name, QList<QByteArray> messages, StateMap changes) {
            QTest::newRow(name) << messages << changes;
        };
        const auto hours = [](const QString& tmp1, const QString& tmp2, vp::state::ColourValue c) {
            return StateMap{{"lblTMP1OperatingHours", tmp1},
                            {"lblTMP2OperatingHours", tmp2},
                            {"shpTMP1OperatingHours", Colour(c)},
                            {"shpTMP2OperatingHours", Colour(c)}};
        };
        const auto error = [](const QString& entry) {
            return StateMap{{"lstErrors", entry},
                            {"lblOperationErrors", "1 operation errors"},
                            {"OperationErrorCount", "1"}};
        };
        const StateMap crc1{{"lblCrcErrors", " 1 received crc errors"}, {"CrcErrorCount", "1"}};
        QByteArray badReport = Signed("111_" + kOk + QByteArray(73, '0'));
        badReport[80] = badReport[80] == '9' ? '0' : '9';
        const QString icpcon = "170 (no response from icpcon)";
        const QString pneumatic = " 220 (OP_ERR_PNEUMATIC_PRESSURE)";
        const QByteArray reply091 = Signed("091_" + kOk + Byte(0) + Byte(255));
        const QByteArray abc = Signed("ABC_" + kOk), kind237 = Signed("237_" + kOk);

        // clang-format off
    row("crc failure", {badReport}, crc1);
    row("crc failures add up", {badReport, badReport},
        {{"lblCrcErrors", " 2 received crc errors"}, {"CrcErrorCount", "2"}});
    row("empty is a crc failure", {""}, crc1);
    row("two bytes are a crc failure", {"00"}, crc1);
    row("error report on a status report", {Signed("111_" + Byte(170) + QByteArray(73, '0'))},
        error(icpcon));
    row("error code without text", {Signed("090_" + Byte(151) + "00003")}, error("151 ()"));
    row("hours", {Signed("040_" + kOk + "001234000010")},
        hours("TMP1: 1234 hours", "TMP2: 10 hours", vp::state::kWhite));
    row("zero hours show no number", {Signed("040_" + kOk + "000000000000")},
        hours("TMP1:  hours", "TMP2:  hours", vp::state::kWhite));
    row("hours not OK", {Signed("040_" + Byte(149) + "001234000010")},
        hours("TMP1: ------", "TMP2: ------", vp::state::kRed));
    row("hours error report", {Signed("040_" + Byte(170) + "001234000010")}, error(icpcon));
    row("TMP counts", {Signed("038_" + kOk + "0000300012")},
        {{"lblTMP1Errors", "TMP1 errors: 3"}, {"lblTMP2Errors", "TMP2 errors: 12"}});
    row("gauge counts", {Signed("090_" + kOk + "00003000000001200001")},
        {{"lblTG1Errors", "TG1 errors: 3"}, {"lbl1G1Errors", "1G1 errors: 0"},
         {"lbl2G1Errors", "2G1 errors: 12"}, {"lbl1G3Errors", "1G3 errors: 1"}});
    row("icpcon counts", {Signed("092_" + kOk + "0000300000000120000000001")},
        {{"lblIcpcon1Errors", "Icpcon 1 errors: 3"}, {"lblIcpcon2Errors", "Icpcon 2 errors: 0"},
         {"lblIcpcon3Errors", "Icpcon 3 errors: 12"}, {"lblIcpcon4Errors", "Icpcon 4 errors: 0"},
         {"lblIcpcon5Errors", "Icpcon 5 errors: 1"}});
    // The second message ends with its checksum digits, which TMP1's field reads ("038_" and
    // byte 150 sum to 144); TMP2's field lies beyond the end.
    row("count beyond the end reads 0", {Signed("038_" + kOk + "0000500005"), Signed("038_" + kOk)},
        {{"lblTMP1Errors", "TMP1 errors: 144"}, {"lblTMP2Errors", "TMP2 errors: 0"}});
    row("warning 220", {Signed("220_" + kOk)}, {{"lstWarnings", pneumatic}});
    row("warning 234", {Signed("234_" + kOk)},
        {{"lstWarnings", " 234 (OP_MANUAL_INTERVENTION_NEEDED)"}});
    row("237 is no warning", {kind237}, {{"lstMessages", Latin1(kind237)}});
    row("reply listed whole", {reply091}, {{"lstMessages", Latin1(reply091)}});
    row("kind not a number", {abc}, {{"lstMessages", Latin1(abc)}});
    row("three bytes, then more", {"000", reply091}, {{"lstMessages", Latin1(reply091) + "\n000"}});
    row("four bytes, then more", {"A065", Signed("220_" + kOk)},
        {{"lstMessages", "A065"}, {"lstWarnings", pneumatic}});
        // clang-format on
    }
    void messageWritesOnlyItsControls() {
        QFETCH(QList<QByteArray>, messages);
        QFETCH(StateMap, changes);
        const StateMap before = Snapshot(*s);
        for (const QByteArray& message : messages) send(message);
        QCOMPARE(Changes(before, Snapshot(*s)), changes);
    }

    void clearEmptiesListsAndRestartsTheCount() {
        for (const QByteArray& m : {Signed("090_" + Byte(170)), Signed("090_" + Byte(152)),
                                    Signed("220_" + kOk), Signed("091_" + kOk), QByteArray("1")})
            send(m);
        const StateMap before = Snapshot(*s);
        vp::state::ClearErrors(*s);
        QCOMPARE(Changes(before, Snapshot(*s)), (StateMap{{"lstErrors", ""},
                                                          {"lstWarnings", ""},
                                                          {"lstMessages", ""},
                                                          {"lblOperationErrors", ""},
                                                          {"OperationErrorCount", "0"}}));
        send(Signed("090_" + Byte(170)));
        QCOMPARE(s->Caption(vp::state::Text::lblOperationErrors), "1 operation errors");
    }

    void crcCountStopsAtTheTop() {
        s->CrcErrorCount.Set(2147483646);
        send("1");
        send("1");
        QCOMPARE(s->Caption(vp::state::Text::lblCrcErrors), " 2147483647 received crc errors");
        send(Signed("220_" + kOk));
        QCOMPARE(s->Entries(List::lstWarnings).size(), std::size_t(1));
    }

    // Every byte value at position 5: above 150 an error report with its text, else the kind's
    // own handler (here: listed raw).
    void everyResultCodeByte() {
        for (int code = 0; code < 256; ++code) {
            vp::state::ClearErrors(*s);
            const QByteArray message = Signed("091_" + Byte(code));
            send(message);
            const auto& errors = s->Entries(List::lstErrors);
            const auto& listed = s->Entries(List::lstMessages);
            QCOMPARE(errors.size(), std::size_t(code > 150));
            QCOMPARE(listed.size(), std::size_t(code <= 150));
            if (code > 150)
                QVERIFY(errors.front().starts_with(std::to_string(code) + " ("));
            else
                QCOMPARE(Bytes(listed.front()), message);
        }
    }

private:
    void send(const QByteArray& message) { vp::state::HandleMessage(*s, View(message)); }
    std::unique_ptr<PanelState> s;
};

QTEST_GUILESS_MAIN(TestDispatcher)
#include "tst_dispatcher.moc"

// SPDX-License-Identifier: MIT
// The panel's state without a window: its own rules; the link's events as the panel shows them;
// which controls, lists and counters each message writes, and nothing else, and which list took
// the news; each report field onto its controls alone, and the colours back after the grey.
#include <QSignalSpy>
#include <QtTest>
#include <functional>
#include <memory>
#include <utility>

#include "protocol/lines.h"
#include "state/dispatcher.h"
#include "state/link_display.h"
#include "state/plant_status.h"
#include "state/state_map.h"
#include "support/state_probe.h"

using namespace vp::test;
using vp::state::Fill;
using vp::state::LinkDisplay;
using vp::state::List;
using vp::state::PanelState;
using vp::state::Text;
using Event = std::function<void(LinkDisplay&)>;
using Write = std::function<void(PanelState&, LinkDisplay&)>;

namespace {

const QByteArray kOk = Byte(150);

// Where each field of the report starts, counted from 1.
// clang-format off
enum Pos {
    kSeparator = 4, kTG1 = 6, k1G1 = 13, k2G1 = 20, k1G3 = 27,
    k3V1 = 34, k1V1, k2V1, k1V2, k2V2, k1V3, k2V3, k1V4,
    kTMP1 = 42, kTMP1Speed, kTMP2 = 49, kTMP2Speed, kGlowSpeed = 56, kHighSpeed = 59,
    kRotary = 62, kCurrentMode, kRequestedMode, kPneumatics, kCooling, kBranch1, kBranch2, kUptime
};
// clang-format on

using Fields = QList<std::pair<int, QByteArray>>;

QByteArray Codes(std::initializer_list<int> codes) {
    QByteArray bytes;
    for (int code : codes) bytes += Byte(code);
    return bytes;
}

// One report that shows every colour: TG1 and 1G3 in error, valves closed/open/error in turn,
// TMP1 stopping, TMP2 accelerating, the rotary pump tripped, pneumatics bad, cooling good.
// clang-format off
const Fields kBaseline = {
    {1, "111_" + Byte(150)},  // gauges: state, then four mantissa digits and the exponent
    {kTG1, Byte(152) + "100020"}, {k1G1, Byte(150) + "500017"},
    {k2G1, Byte(150) + "101323"}, {k1G3, Byte(155) + "200010"},
    {k3V1, Codes({190, 191, 192, 190, 191, 192, 190, 191})},
    {kTMP1, Byte(195) + "050100"}, {kTMP2, Byte(194) + "075080"},
    {kGlowSpeed, "060"}, {kHighSpeed, "090"},
    // rotary, current and requested mode, pneumatics, cooling, branch 1, branch 2
    {kRotary, Codes({198, 199, 200, 208, 209, 205, 206})},
    {kUptime, "0000012345"}};
// clang-format on

QByteArray Report(const Fields& changes = {}) {
    QByteArray body(78, '?');
    for (const Fields* fields : {&kBaseline, &changes})
        for (const auto& [pos, bytes] : *fields) body.replace(pos - 1, bytes.size(), bytes);
    return Signed(body);
}

const QString kRed = Colour(vp::state::kRed), kWhite = Colour(vp::state::kWhite),
              kGreen = Colour(vp::state::kGreen), kYellow = Colour(vp::state::kYellow),
              kCyan = Colour(vp::state::kCyan), kMagenta = Colour(vp::state::kMagenta),
              kBlue = Colour(vp::state::kBlue);

}  // namespace

class TestPanelState : public QObject {
    Q_OBJECT

private slots:
    void init() { s = std::make_unique<PanelState>(); }

    // Writing the value a control would read anyway (0, "", an empty list) still makes it known:
    // the view must draw it over what the window was built with.
    void aFirstWriteMakesAControlKnown() {
        QVERIFY(!s->Known(Fill::shpTG1) && !s->Known(Text::lblOperationErrors));
        QCOMPARE(s->RevisionOf(List::lstErrors), 0u);
        s->SetFill(Fill::shpTG1, 0);
        s->SetCaption(Text::lblOperationErrors, "");
        s->ClearList(List::lstErrors);
        QVERIFY(s->Known(Fill::shpTG1) && s->Known(Text::lblOperationErrors));
        QVERIFY(s->RevisionOf(List::lstErrors) != 0);
        QVERIFY(!s->Known(Fill::shp1G1) && !s->Known(Text::lblTG1));
    }

    void changedOnceUntilTheReaderCatchesUp() {
        QSignalSpy changed(s.get(), &PanelState::Changed);
        s->SetFill(Fill::shpTG1, vp::state::kRed);
        s->SetCaption(Text::lblTG1, "---");
        s->InsertTop(List::lstMessages, "a");
        QCOMPARE(changed.count(), 1);
        s->CaughtUp();
        s->SetFill(Fill::shpTG1, vp::state::kRed);  // no change: nothing to tell
        QCOMPARE(changed.count(), 1);
        s->ClearList(List::lstMessages);
        s->SetFill(Fill::shp1G1, vp::state::kGreen);
        QCOMPARE(changed.count(), 2);
    }

    // The connection display writes the port's text every 500 ms: only a different text is news,
    // or the view would render twice a second for nothing. The same bytes from the controller
    // are news: they show as Latin-1, not as the notice.
    void aNoticeAgainIsNoChange() {
        s->SetNotice(Text::lblComStatus, "Com3 \u0142");
        QCOMPARE(s->Caption(Text::lblComStatus), "Com3 ?");
        const auto revision = s->Revision();
        s->SetNotice(Text::lblComStatus, "Com3 \u0142");
        QCOMPARE(s->Revision(), revision);
        s->SetCaption(Text::lblComStatus, "Com3 ?");
        QVERIFY(s->Revision() > revision && !s->Notice(Text::lblComStatus));
        s->SetNotice(Text::lblComStatus, "Com3 \u0142");
        QCOMPARE(*s->Notice(Text::lblComStatus), "Com3 \u0142");
    }

    void listsKeepTheNewestTenOnTop() {
        for (int i = 1; i <= 12; ++i) s->InsertTop(List::lstErrors, std::to_string(i));
        const auto& entries = s->Entries(List::lstErrors);
        QCOMPARE(entries.size(), PanelState::kListLength);
        QCOMPARE(entries.front(), "12");
        QCOMPARE(entries.back(), "3");
        QVERIFY(s->Entries(List::lstWarnings).empty());
    }
    void eventWritesOnlyItsControls_data() {
        QTest::addColumn<Event>("event");
        QTest::addColumn<StateMap>("changes");
        const QString com = "Com3,9600,N,8,1";
        const QString accented = QString::fromUtf8("Port 3 \u00e9");
        // clang-format off
        QTest::newRow("frame sent") << Event([](LinkDisplay& d) { d.FrameSent(5); })
            << StateMap{{"shpSend", kYellow}, {"lblSentMessages", "5 sent messages"}};
        QTest::newRow("messages arrived") << Event([](LinkDisplay& d) { d.MessagesArrived(2147483647); })
            << StateMap{{"shpRecv", kGreen}, {"lblReceivedMessages", "2147483647 received messages"}};
        QTest::newRow("status text, Latin-1") << Event([=](LinkDisplay& d) { d.ShowStatusText(accented); })
            << StateMap{{"txtStatus", accented}};
        QTest::newRow("connected") << Event([com](LinkDisplay& d) { d.ShowConnection(true, com); })
            << StateMap{{"lblStatus", "Connected"}, {"lblComStatus", com}};
        QTest::newRow("disconnected keeps the port's text") << Event([](LinkDisplay& d) { d.ShowConnection(false, "Com4,2400,E,7,2"); })
            << StateMap{{"lblStatus", "Disconnected"}};
        // clang-format on
    }
    void eventWritesOnlyItsControls() {
        QFETCH(Event, event);
        LinkDisplay display(*s);
        const StateMap before = Snapshot(*s);
        event(display);
        QTEST(Changes(before, Snapshot(*s)), "changes");
    }

    void lampsGoOutAtTheirTick() {
        LinkDisplay d(*s);
        d.FrameSent(1);
        d.MessagesArrived(1);
        QVERIFY(StateProbe::SendLamp(d).isActive() && StateProbe::ReceiveLamp(d).isActive());
        d.Timer3_Timer();
        QCOMPARE(s->FillOf(Fill::shpSend), vp::state::kMenuColour);
        QCOMPARE(s->FillOf(Fill::shpRecv), vp::state::kGreen);
        QVERIFY(!StateProbe::SendLamp(d).isActive());
        d.Timer4_Timer();
        QCOMPARE(s->FillOf(Fill::shpRecv), vp::state::kMenuColour);
        QVERIFY(!StateProbe::ReceiveLamp(d).isActive());
    }

    void loadAndLinkFacts() {
        LinkDisplay display(*s);
        display.ShowConnection(true, QStringLiteral("Com3,9600,n,8,1"));
        display.FrameSent(7);
        display.MessagesArrived(5);
        QCOMPARE(s->Link(), (vp::state::LinkFacts{true, false, 7, 5}));
        display.ShowConnection(false, QString());
        QVERIFY(!s->Link().connected);
        s->InsertTop(List::lstWarnings, "w");
        display.Load(QStringLiteral("Com3,9600,N,8,1"));
        QVERIFY(s->Entries(List::lstWarnings).empty());
    }

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
    row("empty is a crc failure", {""}, crc1);
    row("error report on a status report", {Signed("111_" + Byte(170) + QByteArray(73, '0'))},
        error(icpcon));
    row("error code without text", {Signed("090_" + Byte(151) + "00003")}, error("151 ()"));
    row("hours", {Signed("040_" + kOk + "001234000010")},
        hours("TMP1: 1234 hours", "TMP2: 10 hours", vp::state::kWhite));
    row("zero hours show no number", {Signed("040_" + kOk + "000000000000")},
        hours("TMP1:  hours", "TMP2:  hours", vp::state::kWhite));
    row("hours not OK", {Signed("040_" + Byte(149) + "001234000010")},
        hours("TMP1: ------", "TMP2: ------", vp::state::kRed));
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
    row("237 is no warning", {kind237}, {{"lstMessages", QString::fromLatin1(kind237)}});
    row("reply listed whole", {reply091}, {{"lstMessages", QString::fromLatin1(reply091)}});
    row("kind not a number", {abc}, {{"lstMessages", QString::fromLatin1(abc)}});
    row("three bytes, then more", {"000", reply091}, {{"lstMessages", QString::fromLatin1(reply091) + "\n000"}});
    row("four bytes, then more", {"A065", Signed("220_" + kOk)},
        {{"lstMessages", "A065"}, {"lstWarnings", pneumatic}});
        // clang-format on
    }
    void messageWritesOnlyItsControls() {
        QFETCH(QList<QByteArray>, messages);
        const StateMap before = Snapshot(*s);
        for (const QByteArray& message : messages) {
            const StateMap was = Snapshot(*s);
            const auto took = vp::state::HandleMessage(*s, View(message));
            // The list it names as having taken the news is the one that changed: what is
            // published.
            const QStringList lists = Changes(was, Snapshot(*s)).keys().filter("lst");
            QCOMPARE(lists, took ? QStringList{vp::state::Name(*took)} : QStringList());
        }
        QTEST(Changes(before, Snapshot(*s)), "changes");
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
        QCOMPARE(s->Caption(Text::lblOperationErrors), "1 operation errors");
    }

    // A report ends the grey and is kept as meaning; one with a code outside its table changes no
    // caption, yet is news to whoever publishes the plant.
    void aReportIsKeptAsMeaning() {
        vp::state::GreyIndicators(*s);
        QVERIFY(s->Link().stale);
        QCOMPARE(vp::state::HandleMessage(*s, View(Report())), std::nullopt);  // no list's news
        QVERIFY(!s->Link().stale);
        QCOMPARE(s->Plant().report->uptimeText, std::string("12345s"));
        s->CaughtUp();
        QSignalSpy changed(s.get(), &PanelState::Changed);
        send(Report({{kCurrentMode, Byte(250)}}));
        QCOMPARE(s->Caption(Text::lblCurrentMode), std::string("Idle mode"));
        QCOMPARE(s->Plant().report->currentMode, 250);
        QCOMPARE(changed.count(), 1);
    }

    // Whatever writes the state, the same write again is no news: no signal, no revision, so
    // neither the view nor the publisher wakes for it. Each row writes once, then again.
    void theSameWriteAgainIsNoNews_data() {
        QTest::addColumn<Write>("write");
        const auto message = [](QByteArray m) {
            return Write(
                [m](PanelState& s, LinkDisplay&) { vp::state::HandleMessage(s, View(m)); });
        };
        const auto link = [](std::function<void(LinkDisplay&)> event) {
            return Write([event](PanelState&, LinkDisplay& d) { event(d); });
        };
        QTest::newRow("TMP counts") << message(Signed("038_" + kOk + "0000300012"));
        QTest::newRow("gauge counts") << message(Signed("090_" + kOk + "00003000000001200001"));
        QTest::newRow("hours") << message(Signed("040_" + kOk + "001234000010"));
        QTest::newRow("hours not read") << message(Signed("040_" + Byte(149)));
        QTest::newRow("grey") << Write(
            [](PanelState& s, LinkDisplay&) { vp::state::GreyIndicators(s); });
        QTest::newRow("connected") << link([](LinkDisplay& d) { d.ShowConnection(true, "Com3"); });
        QTest::newRow("disconnected") << link([](LinkDisplay& d) { d.ShowConnection(false, ""); });
        QTest::newRow("frames sent") << link([](LinkDisplay& d) { d.FrameSent(7); });
        QTest::newRow("messages arrived") << link([](LinkDisplay& d) { d.MessagesArrived(9); });
        QTest::newRow("load") << link([](LinkDisplay& d) { d.Load("Com3"); });
        QTest::newRow("clear errors")
            << Write([](PanelState& s, LinkDisplay&) { vp::state::ClearErrors(s); });
        QTest::newRow("crc count at its top") << Write([](PanelState& s, LinkDisplay&) {
            StateProbe::StartCrcErrors(s, 2147483647);
            vp::state::HandleMessage(s, "1");
        });
        QTest::newRow("pressure") << Write(
            [](PanelState& s, LinkDisplay&) { s.SetLastPressure(1, "5.000E-3"); });
    }
    void theSameWriteAgainIsNoNews() {
        QFETCH(Write, write);
        LinkDisplay display(*s);
        write(*s, display);
        s->CaughtUp();
        const auto revision = s->Revision();
        const auto plant = s->Plant();
        const auto link = s->Link();
        QSignalSpy changed(s.get(), &PanelState::Changed);
        write(*s, display);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(s->Revision(), revision);
        QVERIFY(s->Plant() == plant && s->Link() == link);
    }

    // A fact that moves no caption is news all the same: hours show rounded, so a tenth more
    // leaves both captions as they were, and the reader that follows Changed() hears of it.
    void aFactAloneIsNews() {
        send(Signed("040_" + kOk + "1234.0000010"));
        const StateMap shown = Snapshot(*s);
        s->CaughtUp();
        QSignalSpy changed(s.get(), &PanelState::Changed);
        send(Signed("040_" + kOk + "1234.4000010"));
        QCOMPARE(Changes(shown, Snapshot(*s)), StateMap{});
        QCOMPARE(changed.count(), 1);
        QCOMPARE(s->Plant().tmpHours[0], 1234.4);
    }

    void crcCountStopsAtTheTop() {
        StateProbe::StartCrcErrors(*s, 2147483646);
        send("1");
        send("1");
        QCOMPARE(s->Caption(Text::lblCrcErrors), " 2147483647 received crc errors");
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

    void reportShowsEveryField() {
        const StateMap before = Snapshot(*s);
        send(Report());
        // clang-format off
    const StateMap expected{
        {"lblTG1", "---"}, {"shpTG1", kRed}, {"lblTG1State", "TG1 state: bad size"},
        {"lbl1G1", "5.000E-3\r\nmBar"}, {"shp1G1", kWhite}, {"lbl1G1State", "1G1 state: OK"},
        {"lbl2G1", "1.013E 3\r\nmBar"}, {"shp2G1", kWhite}, {"lbl2G1State", "2G1 state: OK"},
        {"lbl1G3", "---"}, {"shp1G3", kRed}, {"lbl1G3State", "1G3 state: crc error"},
        {"LastPressure1G1", "5.000E-3"}, {"LastPressure2G1", "1.013E 3"},
        {"shp3V1", kYellow}, {"lbl3V1status", "closed"}, {"shp1V1", kGreen},
        {"lbl1V1status", "open"}, {"shp2V1", kRed}, {"lbl2V1status", "error"},
        {"shp1V2", kYellow}, {"lbl1V2status", "closed"},
        {"shp2V2", kGreen}, {"lbl2V2status", "open"}, {"shp1V3", kRed}, {"lbl1V3status", "error"},
        {"shp2V3", kYellow}, {"lbl2V3status", "closed"}, {"shp1V4", kGreen},
        {"lbl1V4status", "open"},
        {"shpTMP1", kMagenta}, {"lblTMP1status", "stopping"}, {"lblTMP1State", "TMP1 state: OK"},
        {"shpTMP2", kCyan}, {"lblTMP2status", "accelerating"}, {"lblTMP2State", "TMP2 state: OK"},
        {"lblTMP1speed", "050/100"}, {"lblTMP2speed", "075/080"},
        {"lblGlowDischargeSpeed", "060"}, {"lblHighVacuumSpeed", "090"},
        {"shpRotary", kBlue}, {"lblRotaryStatus", "tripped"},
        {"lblCurrentMode", "Idle mode"}, {"shpCurrentMode", kWhite},
        {"lblRequestedMode", "High vacuum"}, {"shpRequestedMode", kWhite},
        {"shpPneumatics", kRed}, {"shpTMPCooling", kGreen},
        {"lblBranch1", "Branch1: active"}, {"shpBranch1", kWhite},
        {"lblBranch2", "Branch2: inactive"}, {"shpBranch2", kWhite},
        {"txtUptime", "12345s"}, {"ShownReports", "1"}};
        // clang-format on
        QCOMPARE(Changes(before, Snapshot(*s)), expected);
    }

    void fieldWritesOnlyItsControls_data() {
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<StateMap>("changes");
        const auto row = [](const char* name, Fields fields, StateMap changes) {
            QTest::newRow(name) << fields << changes;
        };

        // clang-format off
    row("TG1 OK", {{kTG1, Byte(150) + "250018"}},
        {{"lblTG1", "2.500E-2\r\nmBar"}, {"shpTG1", kWhite}, {"lblTG1State", "TG1 state: OK"},
         {"LastPressureTG1", "2.500E-2"}});
    row("1G1 error keeps its last pressure", {{k1G1, Byte(152) + "250018"}},
        {{"lbl1G1", "---"}, {"shp1G1", kRed}, {"lbl1G1State", "1G1 state: bad size"}});
    row("1G3 code without text", {{k1G3, Byte(151) + "250018"}}, {{"lbl1G3State", "1G3 state: "}});

    row("2V2 0",      {{k2V2, Byte(0)}},   {{"shp2V2", kRed},    {"lbl2V2status", "error"}});

    row("TMP1 stopped", {{kTMP1, Byte(193)}}, {{"shpTMP1", kYellow}, {"lblTMP1status", "stopped"}});
    row("TMP1 started", {{kTMP1, Byte(196)}}, {{"shpTMP1", kGreen}, {"lblTMP1status", "started"}});
    row("TMP1 197", {{kTMP1, Byte(197)}},
        {{"shpTMP1", kRed}, {"lblTMP1status", "error"}, {"lblTMP1State", "TMP1 state: "}});
    row("TMP2 bad size", {{kTMP2, Byte(152)}},
        {{"shpTMP2", kRed}, {"lblTMP2status", "error"}, {"lblTMP2State", "TMP2 state: bad size"}});
    row("TMP1 speed", {{kTMP1Speed, "abcdef"}}, {{"lblTMP1speed", "abc/def"}});
    row("glow discharge speed", {{kGlowSpeed, "ab "}}, {{"lblGlowDischargeSpeed", "ab "}});

    row("rotary stopped", {{kRotary, Byte(193)}}, {{"shpRotary", kYellow}, {"lblRotaryStatus", "stopped"}});
    row("rotary started", {{kRotary, Byte(196)}}, {{"shpRotary", kGreen}, {"lblRotaryStatus", "started"}});
    row("rotary 194",     {{kRotary, Byte(194)}}, {{"shpRotary", kRed}, {"lblRotaryStatus", "error"}});

    row("current 204", {{kCurrentMode, Byte(204)}}, {{"lblCurrentMode", "Glow discharge"}});
    row("current 205 leaves caption", {{kCurrentMode, Byte(205)}}, {});
    row("requested 0 leaves caption", {{kRequestedMode, Byte(0)}}, {});

    row("pneumatics good", {{kPneumatics, Byte(207)}}, {{"shpPneumatics", kGreen}});
    row("cooling 208",     {{kCooling, Byte(208)}}, {{"shpTMPCooling", kRed}});

    row("branch 1 inactive", {{kBranch1, Byte(206)}}, {{"lblBranch1", "Branch1: inactive"}});
    row("branch 1 207 leaves caption", {{kBranch1, Byte(207)}}, {});

    row("uptime 0",    {{kUptime, "0000000000"}}, {{"txtUptime", "0s"}});

    row("position 4 not examined", {{kSeparator, Byte(0)}}, {});
        // clang-format on
    }

    // Each row starts from the baseline report, so a field written to a neighbour's control shows
    // up as an unexpected change.
    void fieldWritesOnlyItsControls() {
        QFETCH(Fields, fields);
        QFETCH(StateMap, changes);
        send(Report());
        const StateMap before = Snapshot(*s);
        send(Report(fields));
        changes["ShownReports"] = "2";
        QCOMPARE(Changes(before, Snapshot(*s)), changes);
    }

    void greyedShapesComeBack_data() {
        QTest::addColumn<Fields>("fields");
        QTest::newRow("baseline") << Fields{};
        QTest::newRow("codes outside every table")
            << Fields{{k3V1, Byte(0)},           {kTMP1, Byte(197)},        {kRotary, Byte(194)},
                      {kCurrentMode, Byte(205)}, {kRequestedMode, Byte(0)}, {kPneumatics, Byte(0)},
                      {kCooling, Byte(0)},       {kBranch1, Byte(207)},     {kBranch2, Byte(0)}};
    }

    // The grey takes every shape but the two lamps, and no caption; the next report brings back
    // all but the operating-hours shapes, which come back with their own message.
    void greyedShapesComeBack() {
        QFETCH(Fields, fields);
        send(Report(fields));
        const StateMap shown = Snapshot(*s);
        vp::state::GreyIndicators(*s);
        const QString grey = Colour(vp::state::kGreyText);
        StateMap greyed;
        for (auto it = shown.begin(); it != shown.end(); ++it)
            if (it.key().startsWith("shp") && it.key() != "shpSend" && it.key() != "shpRecv")
                greyed[it.key()] = grey;
        QCOMPARE(greyed.size(), 23);
        QCOMPARE(Changes(shown, Snapshot(*s)), greyed);
        send(Report(fields));
        QCOMPARE(Changes(shown, Snapshot(*s)), (StateMap{{"shpTMP1OperatingHours", grey},
                                                         {"shpTMP2OperatingHours", grey},
                                                         {"ShownReports", "2"}}));
    }

private:
    void send(const QByteArray& message) { vp::state::HandleMessage(*s, View(message)); }
    std::unique_ptr<PanelState> s;
};

QTEST_GUILESS_MAIN(TestPanelState)
#include "tst_panel_state.moc"

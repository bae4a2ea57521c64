// The plant's JSON payloads and their reader: a state sent through its payload arrives whole in a
// fresh view; the meaning fields say what the report said; a bad payload changes nothing.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <memory>

#include "protocol/lines.h"
#include "publish/payloads.h"
#include "publish/state_reader.h"
#include "sim/plant.h"
#include "sim/replies.h"
#include "state/dispatcher.h"
#include "state/plant_status.h"
#include "state/state_map.h"

using namespace vp::test;
using vp::publish::ApplyStateJson;
using vp::publish::Compact;
using vp::publish::StateObject;
using vp::state::PanelState;

namespace {

using Messages = QList<QByteArray>;
const QByteArray kOk = Byte(150);

// A running plant's report, with fields changed at their 1-based positions.
QByteArray Report(QList<std::pair<int, QByteArray>> changes = {}) {
    vp::sim::Plant plant;
    plant.SwitchRotary(true);
    plant.SwitchTmp(0, true);
    plant.RequestMode(vp::sim::Mode::kHighVacuum);
    plant.SetBranch(0, true);
    plant.Advance(3600);
    QByteArray body = vp::sim::StatusReportBody(plant);
    for (const auto& [pos, bytes] : changes) body.replace(pos - 1, bytes.size(), bytes);
    return Signed(body);
}

QJsonValue At(const QJsonObject& object, const QString& path) {
    QJsonValue value = object;
    for (const QString& key : path.split('/')) {
        bool index = false;
        const int i = key.toInt(&index);
        value = index && value.isArray() ? value.toArray().at(i) : value.toObject().value(key);
    }
    return value;
}

// A payload that writes one of each kind of control, with `section` ("fills", "fills.shpTG1"; of
// "panel", or "link", "panel" or "errors" of the root) replaced by `bad`.
QByteArray Payload(const QString& section = {}, const QJsonValue& bad = {}) {
    QJsonObject panel{{"fills", QJsonObject{{"shpTG1", 255}}},
                      {"texts", QJsonObject{{"lblTG1", "x"}}},
                      {"lists", QJsonObject{{"lstErrors", QJsonArray{"e"}}}}};
    QJsonObject root{
        {"panel", panel},
        {"link", QJsonObject{{"connected", true}, {"stale", false}, {"sent", 7}, {"received", 5}}}};
    const QString group = section.section('.', 0, 0), key = section.section('.', 1);
    if (section == "link" || section == "panel" || section == "errors") {
        root[section] = bad;
    } else if (!section.isEmpty()) {
        QJsonObject part = panel[group].toObject();
        part[key] = bad;
        panel[group] = key.isEmpty() ? bad : QJsonValue(part);
        root["panel"] = panel;
    }
    return Compact(root);
}

}  // namespace

class TestPayloads : public QObject {
    Q_OBJECT

private slots:
    void init() { a = std::make_unique<PanelState>(); }

    void stateArrivesWholeInAFreshView_data() {
        QTest::addColumn<Messages>("messages");
        QTest::addColumn<bool>("stale");
        const QByteArray accented = Signed("077_" + kOk + "caf\xe9 \x80\xff\x01");
        // clang-format off
        QTest::newRow("every kind of message") << Messages{Report(), Signed("040_" + kOk + "001234000010"),
            Signed("038_" + kOk + "0000300004"), Signed("090_" + kOk + "00001000020000300004"),
            Signed("092_" + kOk + "0000100002000030000400005"), Signed("121_" + Byte(170)),
            Signed("220_" + kOk), "00", accented} << false;
        // clang-format on
        // 250 is no mode: the caption stays "High vacuum", which only the panel section carries.
        QTest::newRow("mode outside its table")
            << Messages{Report(), Report({{63, Byte(250)}, {67, Byte(250)}})} << false;
        QTest::newRow("stale picture") << Messages{Report(), Signed("121_" + Byte(170))} << true;
        Messages eleven;
        for (int code = 170; code <= 180; ++code) eleven << Signed("121_" + Byte(code));
        QTest::newRow("eleven errors") << eleven << false;
    }
    void stateArrivesWholeInAFreshView() {
        QFETCH(Messages, messages);
        QFETCH(bool, stale);
        for (const QByteArray& m : messages) vp::state::HandleMessage(*a, View(m));
        if (stale) vp::state::GreyIndicators(*a);
        a->Link = {.connected = true, .stale = stale, .sent = 40, .received = 38};
        a->SetFill(vp::state::Fill::shpSend, vp::state::kGreen);

        PanelState b;
        QCOMPARE(ApplyStateJson(b, Compact(StateObject(*a))), std::nullopt);
        QCOMPARE(RemoteShown(b), RemoteShown(*a));
        QVERIFY(!b.Known(vp::state::Fill::shpSend));
    }

    void meaningFollowsTheReport_data() {
        QTest::addColumn<Messages>("messages");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonValue>("expected");
        const auto row = [](const char* name, Messages m, const char* path, QJsonValue v) {
            QTest::newRow(name) << m << QString(path) << v;
        };
        const QByteArray hours = Signed("040_" + kOk + "001234000010");
        const QJsonValue none;
        // clang-format off
        row("nothing reported yet", {}, "gauges", none);
        row("gauge OK: pressure in mbar", {Report({{6, Byte(150) + "500017"}})}, "gauges/TG1/mbar", 0.005);
        row("gauge not OK: no pressure", {Report({{6, Byte(152)}})}, "gauges/TG1/mbar", none);
        row("gauge not OK: its code", {Report({{6, Byte(152)}})}, "gauges/TG1/code", 152);
        row("valve 191 open", {Report({{35, Byte(191)}})}, "valves/1V1", "open");
        row("mode outside table: no name", {Report({{63, Byte(250)}})}, "mode/current", none);
        row("mode outside table: code kept", {Report({{63, Byte(250)}})}, "mode/current_code", 250);
        row("requested mode", {Report({{64, Byte(203)}})}, "mode/requested", "Stop");
        row("speed without digits", {Report({{46, "---"}})}, "pumps/TMP1/speed_percent/1", none);
        row("speed", {Report({{43, "042"}})}, "pumps/TMP1/speed_percent/0", 42);
        row("branch outside table", {Report({{68, "?"}})}, "branches/2", none);
        row("hours", {Report(), hours}, "pumps/TMP1/hours", 1234);
        row("hours of TMP2", {Report(), hours}, "pumps/TMP2/hours", 10);
        row("hours failed", {Report(), hours, Signed("040_" + Byte(149) + "001234000010")}, "pumps/TMP1/hours", none);
        row("uptime", {Report()}, "uptime_s", 3600);
        row("gauge errors", {Signed("090_" + kOk + "00001000020000300004")}, "errors/gauges/1G3", 4);
        row("icpcon errors not reported yet", {hours}, "errors/icpcon/0", none);
        row("operation errors", {Signed("121_" + Byte(170))}, "errors/operation", 1);
        // clang-format on
    }
    void meaningFollowsTheReport() {
        QFETCH(Messages, messages);
        QFETCH(QString, path);
        for (const QByteArray& m : messages) vp::state::HandleMessage(*a, View(m));
        // As a subscriber reads it.
        QTEST(At(QJsonDocument::fromJson(Compact(StateObject(*a))).object(), path), "expected");
    }

    void eventAndPressurePayloads() {
        const QDateTime local(QDate(2026, 12, 7), QTime(6, 22, 0, 123), QTimeZone(7200));
        const auto json = [](const QByteArray& payload) {
            return QJsonDocument::fromJson(payload).object();
        };
        // clang-format off
        QCOMPARE(json(vp::publish::EventJson(local, vp::state::List::lstWarnings, " 220 (x)", "220_\x96\xe9")),
                 (QJsonObject{{"time", "2026-12-07T04:22:00.123Z"}, {"list", "warnings"},
                              {"text", " 220 (x)"}, {"raw", QString::fromLatin1("220_\x96\xe9")}}));
        QCOMPARE(json(vp::publish::PressureJson(local, {"5.000E-3", "", "---", "1.013E 3"})),
                 (QJsonObject{{"time", "2026-12-07T04:22:00.123Z"}, {"unit", "mbar"}, {"TG1", 0.005},
                              {"1G1", QJsonValue()}, {"2G1", QJsonValue()}, {"1G3", 1013}}));
        QCOMPARE(json(vp::publish::PressureJson(local, {"1.0E-99", "5.?00E-3", "5.000E-3x", "inf"})),
                 (QJsonObject{{"time", "2026-12-07T04:22:00.123Z"}, {"unit", "mbar"}, {"TG1", 1e-99},
                              {"1G1", QJsonValue()}, {"2G1", QJsonValue()}, {"1G3", QJsonValue()}}));
        // clang-format on
    }

    void payloadReplacesListsAndLeavesAbsentControls() {
        for (int i = 0; i < 3; ++i) vp::state::HandleMessage(*a, View(Signed("121_" + Byte(170))));
        a->SetCaption(vp::state::Text::lbl1G1, "kept");
        QCOMPARE(ApplyStateJson(*a, Payload()), std::nullopt);
        const StateMap view = RemoteShown(*a);
        QCOMPARE((QStringList{view["lstErrors"], view["lblTG1"], view["shpTG1"], view["lbl1G1"],
                              view["Link"]}),
                 (QStringList{"e", "x", Colour(255), "kept", "1 0 7 5"}));
        // The same payload again moves nothing, so a view does not redraw for it.
        const auto revision = a->Revision();
        QCOMPARE(ApplyStateJson(*a, Payload()), std::nullopt);
        QCOMPARE(a->Revision(), revision);
    }

    void badPayloadChangesNothing_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("reason");  // a part of the refusal's line
        const auto row = [](const char* name, QByteArray payload, const char* reason) {
            QTest::newRow(name) << payload << QString(reason);
        };
        QByteArray huge = Payload();
        huge.insert(1, QByteArray(vp::publish::kMaxStatePayload, ' '));
        const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');

        // clang-format off
        row("not JSON", "{\"panel\":", "not JSON");
        row("an array", "[]", "not a JSON object");
        row("huge", huge, "larger than");
        row("100000 nested arrays", deep, "too deeply nested");
        row("no panel", Payload("panel", QJsonValue::Undefined), "\"panel\"");
        row("fills not an object", Payload("fills", 1), "panel.fills");
        row("unknown control, line break", Payload("fills.shp\nX", 1), "unknown fill \"shp?X\"");
        row("unknown text", Payload("texts.lblNothing", "x"), "unknown text");
        row("unknown list", Payload("lists.lstNothing", QJsonArray()), "unknown list");
        row("a lamp", Payload("fills.shpSend", 255), "unknown fill");
        row("fill above 32 bits", Payload("fills.shp1G1", 4294967296.0), "colour value");
        row("fill with a fraction", Payload("fills.shp1G1", 1.5), "colour value");
        row("fill as text", Payload("fills.shp1G1", "255"), "colour value");
        row("text beyond Latin-1", Payload("texts.lbl1G1", QString(QChar(0x100))), "text lbl1G1");
        row("text over 4 KiB", Payload("texts.lbl1G1", QString(4097, 'x')), "text lbl1G1");
        row("list not an array", Payload("lists.lstWarnings", "w"), "list lstWarnings");
        row("list of eleven", Payload("lists.lstWarnings", QJsonArray{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}), "list lstWarnings");
        row("list of numbers", Payload("lists.lstWarnings", QJsonArray{1}), "list lstWarnings");
        row("link of wrong types", Payload("link", QJsonObject{{"connected", 1}}), "link");
        row("negative count", Payload("errors", QJsonObject{{"crc", -1}}), "errors.crc");
        // clang-format on
    }
    void badPayloadChangesNothing() {
        QFETCH(QByteArray, payload);
        QFETCH(QString, reason);
        vp::state::HandleMessage(*a, View(Report()));
        const StateMap before = RemoteShown(*a);
        const auto refusal = ApplyStateJson(*a, payload);
        QVERIFY(refusal);
        QVERIFY2(refusal->contains(reason) && !refusal->contains('\n'), qPrintable(*refusal));
        QCOMPARE(RemoteShown(*a), before);
    }

private:
    std::unique_ptr<PanelState> a;
};

QTEST_GUILESS_MAIN(TestPayloads)
#include "tst_payloads.moc"

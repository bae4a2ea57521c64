// SPDX-License-Identifier: MIT
// The plant's JSON payloads and their reader: a view sent through its payload arrives whole in a
// fresh view; the meaning fields say what the report said, and a reading only while it is
// current; numbers keep their type; a bad payload changes nothing.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <memory>

#include "protocol/lines.h"
#include "publish/json_text.h"
#include "publish/payloads.h"
#include "publish/state_reader.h"
#include "sim/plant.h"
#include "sim/replies.h"
#include "state/dispatcher.h"
#include "state/link_display.h"
#include "state/plant_status.h"
#include "state/quality.h"
#include "state/state_map.h"

using namespace vp::test;
using vp::publish::ApplyViewJson;
using vp::publish::Compact;
using vp::publish::StateObject;
using vp::publish::ViewObject;
using vp::state::PanelState;
using vp::state::Quality;

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

// A view payload that writes one of each kind of control, with `section` ("fills",
// "fills.shpTG1", or "schema") replaced by `bad`.
QByteArray Payload(const QString& section = {}, const QJsonValue& bad = {}) {
    QJsonObject root{{"schema", 2},
                     {"fills", QJsonObject{{"shpTG1", 255}}},
                     {"texts", QJsonObject{{"lblTG1", "x"}}},
                     {"lists", QJsonObject{{"lstErrors", QJsonArray{"e"}}}}};
    const QString group = section.section('.', 0, 0), key = section.section('.', 1);
    if (key.isEmpty() && !section.isEmpty()) {
        root[section] = bad;
    } else if (!section.isEmpty()) {
        QJsonObject part = root[group].toObject();
        part[key] = bad;
        root[group] = part;
    }
    return Compact(root);
}

QJsonObject Parsed(const QByteArray& payload) {
    return QJsonDocument::fromJson(payload).object();
}

}  // namespace

class TestPayloads : public QObject {
    Q_OBJECT

private slots:
    void init() { a = std::make_unique<PanelState>(); }

    void viewArrivesWholeInAFreshView_data() {
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
    void viewArrivesWholeInAFreshView() {
        QFETCH(Messages, messages);
        QFETCH(bool, stale);
        for (const QByteArray& m : messages) vp::state::HandleMessage(*a, View(m));
        if (stale) vp::state::GreyIndicators(*a);
        a->SetFill(vp::state::Fill::shpSend, vp::state::kGreen);

        PanelState b;
        QVERIFY(ApplyViewJson(b, Compact(ViewObject(*a))).ok());
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
        row("no uptime: it moves every second", {Report()}, "uptime_s", QJsonValue::Undefined);
        row("no counters", {Report()}, "link/sent", QJsonValue::Undefined);
        row("no window", {Report()}, "panel", QJsonValue::Undefined);
        row("gauge errors", {Signed("090_" + kOk + "00001000020000300004")}, "errors/gauges/1G3", 4);
        row("icpcon errors not reported yet", {hours}, "errors/icpcon/0", none);
        row("operation errors", {Signed("121_" + Byte(170))}, "errors/operation", 1);
        // clang-format on
    }
    void meaningFollowsTheReport() {
        QFETCH(Messages, messages);
        QFETCH(QString, path);
        a->UpdateLink([](vp::state::LinkFacts& link) { link.connected = true; });
        for (const QByteArray& m : messages) vp::state::HandleMessage(*a, View(m));
        // As a subscriber reads it.
        QTEST(At(Parsed(Compact(StateObject(*a, vp::state::QualityOf(*a), 0))), path), "expected");
    }

    // Each quality reached by its cause on the line, and what it leaves of the readings.
    void qualityFollowsTheLine_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("quality");
        QTest::addColumn<bool>("reading");
        const auto row = [](const char* name, QStringList steps, const char* quality,
                            bool reading) {
            QTest::newRow(name) << steps << QString(quality) << reading;
        };
        row("port closed at start", {}, "starting", false);
        row("port open, nothing reported", {"open"}, "starting", false);
        row("a report", {"open", "report"}, "good", true);
        row("watchdog", {"open", "report", "grey"}, "stale", false);
        row("a report after the watchdog", {"open", "report", "grey", "report"}, "good", true);
        row("line lost", {"open", "report", "close"}, "disconnected", false);
        row("line back, no report yet", {"open", "report", "close", "open"}, "stale", false);
        row("line back and reporting", {"open", "report", "close", "open", "report"}, "good", true);
    }
    void qualityFollowsTheLine() {
        QFETCH(QStringList, steps);
        vp::state::LinkDisplay link(*a);
        for (const QString& step : steps) {
            if (step == "open") link.ShowConnection(true, "Com3");
            if (step == "close") link.ShowConnection(false, "Com3");
            if (step == "report") vp::state::HandleMessage(*a, View(Report()));
            if (step == "grey") link.ReportsStale();
        }
        const Quality quality = vp::state::QualityOf(*a);
        QTEST(QString(vp::state::QualityWord(quality)), "quality");
        const QJsonObject state = Parsed(Compact(StateObject(*a, quality, 0)));
        QTEST(At(state, "quality").toString(), "quality");
        QFETCH(bool, reading);
        QCOMPARE(At(state, "gauges/2G1/mbar").isDouble(), reading);
        QCOMPARE(vp::publish::CurrentPressures(*a, quality)[2].has_value(), reading);
        // The meaning stays as of the last report whatever the quality.
        QCOMPARE(At(state, "valves").isObject(), steps.contains("report"));
    }

    void numbersKeepTheirType_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("whole") << 1013.0 << QByteArray("1.013e3");
        QTest::newRow("small") << 0.005 << QByteArray("5e-3");
        QTest::newRow("zero") << 0.0 << QByteArray("0e0");
        QTest::newRow("negative") << -2.5 << QByteArray("-2.5e0");
        QTest::newRow("tiny") << 1e-99 << QByteArray("1e-99");
        QTest::newRow("not finite") << qInf() << QByteArray("null");
    }
    void numbersKeepTheirType() {
        QFETCH(double, value);
        QTEST(vp::publish::FloatText(value), "text");
        // Integers stay integers, floating point stays floating point, whatever the value.
        const QByteArray object =
            vp::publish::JsonText(QJsonObject{{"f", vp::publish::Float(value)}, {"i", 1013}});
        QCOMPARE(object, "{\"f\":" + vp::publish::FloatText(value) + ",\"i\":1013}");
        if (std::isfinite(value)) QCOMPARE(Parsed(object)["f"].toDouble(), value);
    }

    void eventAndPressurePayloads() {
        const QDateTime local(QDate(2026, 12, 7), QTime(6, 22, 0, 123), QTimeZone(7200));
        using vp::state::List;
        // clang-format off
        QCOMPARE(Parsed(vp::publish::EventJson(local, 7, List::lstWarnings, " 220 (x)", "220_\x96\xe9")),
                 (QJsonObject{{"time", "2026-12-07T04:22:00.123Z"}, {"seq", 7}, {"list", "warnings"}, {"code", 220},
                              {"text", "220 (x)"}, {"raw", QString::fromLatin1("220_\x96\xe9")}}));
        QCOMPARE(Parsed(vp::publish::EventJson(local, 1, List::lstErrors, "170 (no response from icpcon)", "121_\xaa" "426")),
                 (QJsonObject{{"time", "2026-12-07T04:22:00.123Z"}, {"seq", 1}, {"list", "errors"}, {"code", 170},
                              {"text", "170 (no response from icpcon)"}, {"raw", QString::fromLatin1("121_\xaa" "426")}}));
        QCOMPARE(Parsed(vp::publish::EventJson(local, 2, List::lstMessages, "077_x", "077_x")).value("code"), QJsonValue());
        const QByteArray pressure = vp::publish::PressureJson(local, {0.005, std::nullopt, std::nullopt, 1013.0});
        QCOMPARE(pressure, "{\"gauges\":{\"1G1\":null,\"1G3\":1.013e3,\"2G1\":null,\"TG1\":5e-3},"
                           "\"time\":\"2026-12-07T04:22:00.123Z\",\"unit\":\"mbar\"}");
        // clang-format on
        QCOMPARE(vp::publish::PressureMbar("1.013E 3"), 1013.0);
        QCOMPARE(vp::publish::PressureMbar("5.?00E-3"), std::nullopt);
        QCOMPARE(vp::publish::PressureMbar("inf"), std::nullopt);
    }

    void payloadReplacesListsAndLeavesAbsentControls() {
        for (int i = 0; i < 3; ++i) vp::state::HandleMessage(*a, View(Signed("121_" + Byte(170))));
        a->SetCaption(vp::state::Text::lbl1G1, "kept");
        QVERIFY(ApplyViewJson(*a, Payload()).ok());
        const StateMap view = RemoteShown(*a);
        QCOMPARE((QStringList{view["lstErrors"], view["lblTG1"], view["shpTG1"], view["lbl1G1"]}),
                 (QStringList{"e", "x", Colour(255), "kept"}));
        // The same payload again moves nothing, so a view does not redraw for it.
        const auto revision = a->Revision();
        QVERIFY(ApplyViewJson(*a, Payload()).ok());
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
        row("not JSON", "{\"fills\":", "not JSON");
        row("an array", "[]", "not a JSON object");
        row("huge", huge, "larger than");
        row("100000 nested arrays", deep, "too deeply nested");
        row("no schema", Payload("schema", QJsonValue::Undefined), "schema 2");
        row("another schema", Payload("schema", 1), "schema 2");
        row("fills not an object", Payload("fills", 1), "fills");
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
        // clang-format on
    }
    void badPayloadChangesNothing() {
        QFETCH(QByteArray, payload);
        QFETCH(QString, reason);
        vp::state::HandleMessage(*a, View(Report()));
        const StateMap before = RemoteShown(*a);
        const auto refusal = ApplyViewJson(*a, payload);
        QVERIFY(!refusal.ok());
        QVERIFY2(refusal.error().contains(reason) && !refusal.error().contains('\n'),
                 qPrintable(refusal.error()));
        QCOMPARE(RemoteShown(*a), before);
    }

    void stateSummary_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("reason");  // empty: taken
        const QByteArray good =
            R"({"schema":2,"quality":"stale","link":{"connected":true,"stale":true}})";
        QTest::newRow("taken") << good << QString();
        QTest::newRow("unknown quality")
            << QByteArray(good).replace("stale\",", "fine\",") << "quality";
        QTest::newRow("no link") << QByteArray(R"({"schema":2,"quality":"good"})") << "link";
        QTest::newRow("schema 1") << QByteArray(good).replace(":2,", ":1,") << "schema";
    }
    void stateSummary() {
        QFETCH(QByteArray, payload);
        QFETCH(QString, reason);
        const auto summary = vp::publish::ReadStateJson(payload);
        QCOMPARE((summary.ok() ? QString() : summary.error()).contains(reason), true);
        QCOMPARE(!summary.ok(), !reason.isEmpty());
        if (summary.ok()) QCOMPARE(summary->quality, Quality::Stale);
    }

private:
    std::unique_ptr<PanelState> a;
};

QTEST_GUILESS_MAIN(TestPayloads)
#include "tst_payloads.moc"

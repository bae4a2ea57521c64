// SPDX-License-Identifier: MIT
// The publisher, tick by tick without a broker: each topic at its own pace, nothing when nothing
// changed, and the truth it leaves behind; then two gateways on one prefix against a real broker.
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include "protocol/lines.h"
#include "publish/mqtt_client.h"
#include "publish/payloads.h"
#include "publish/publisher.h"
#include "sim/plant.h"
#include "sim/replies.h"
#include "state/dispatcher.h"
#include "state/link_display.h"
#include "support/broker.h"

using namespace vp;
using publish::MqttClient;
using publish::Publisher;

namespace {

constexpr int kWait = 20000;

QJsonObject Parsed(const QByteArray& payload) {
    return QJsonDocument::fromJson(payload).object();
}

QByteArray Report(double pressureSeconds = 0) {
    sim::Plant plant;
    plant.SwitchRotary(true);
    plant.Advance(3600 + pressureSeconds);
    return test::Signed(sim::StatusReportBody(plant));
}

}  // namespace

class TestPublisher : public QObject {
    Q_OBJECT

private slots:
    void init() {
        s = std::make_unique<state::PanelState>();
        link = std::make_unique<state::LinkDisplay>(*s);
        client = std::make_unique<MqttClient>(OptionsFor("mqtt://127.0.0.1:1/p"));  // not started
        publisher = std::make_unique<Publisher>(*client, *s, QStringLiteral("p"));
        publisher->Begin();
    }

    void eachTopicAtItsPace() {
        const publish::Topics& t = publisher->topics();
        link->ShowConnection(true, "Com3");
        state::HandleMessage(*s, test::View(Report()));
        publisher->Check();
        for (const std::string& topic : {t.state, t.view, t.stats, t.gauges[0]})
            QVERIFY2(publisher->SentCount(topic) == 1, topic.c_str());
        QCOMPARE(Parsed(publisher->LastSent(t.state))["quality"].toString(), "good");
        publisher->Check();  // nothing changed: nothing goes out
        QCOMPARE(publisher->SentCount(t.view), 1);

        // The counters and the uptime move at every poll: the state does not hear of them, the
        // view waits for its second, the stats for their minute.
        link->FrameSent(1);
        state::HandleMessage(*s, test::View(Report(1)));
        publisher->Check();
        QCOMPARE(publisher->SentCount(t.state), 1);
        QCOMPARE(publisher->SentCount(t.view), 1);
        QCOMPARE(publisher->SentCount(t.stats), 1);
        QVERIFY(publisher->timer().isActive());
        QVERIFY(publisher->timer().remainingTime() > Publisher::kPlantSpacingMs);
        // ...and the gauges, whose pressures move, for their own second each.
        QCOMPARE(publisher->SentCount(t.gauges[0]), 1);

        // A change of the plant goes out as soon as the spacing allows, well before the second.
        s->SetCaption(state::Text::lbl1V1status, "open");
        link->ShowConnection(false, "Com3");
        QTRY_COMPARE_WITH_TIMEOUT(publisher->SentCount(t.state), 2,
                                  Publisher::kCountersSpacingMs * 9 / 10);
        QCOMPARE(publisher->SentCount(t.view), 2);
        const QJsonObject state = Parsed(publisher->LastSent(t.state));
        QCOMPARE(state["quality"].toString(), "disconnected");
        QVERIFY(state["gauges"].toObject()["TG1"].toObject()["mbar"].isNull());
        QVERIFY(!state["time"].isNull());
        // The gauge's reading is no longer current: null, within its own second.
        QTRY_COMPARE_WITH_TIMEOUT(publisher->LastSent(t.gauges[0]), "null", kWait);
        QCOMPARE(publisher->SentCount(t.stats), 1);
        QVERIFY(publisher->timer().remainingTime() > Publisher::kStatsSpacingMs / 2);
    }

    // Hours show rounded: a tenth more moves no caption, yet the plant's meaning changed, and the
    // state topic carries it as soon as its spacing allows.
    void aChangeOfMeaningAloneGoesOut() {
        const publish::Topics& t = publisher->topics();
        const auto hours = [](const char* tmp1) {
            return test::Signed("040_" + test::Byte(150) + tmp1 + "000010");
        };
        link->ShowConnection(true, "Com3");
        state::HandleMessage(*s, test::View(Report()));
        state::HandleMessage(*s, test::View(hours("1234.0")));
        publisher->Check();
        QVERIFY(!publisher->timer().isActive());  // all sent, nothing waits
        const QJsonObject view = publish::ViewObject(*s);
        state::HandleMessage(*s, test::View(hours("1234.4")));
        QCOMPARE(publish::ViewObject(*s), view);
        QVERIFY(publisher->timer().isActive());  // it heard
        QTRY_COMPARE_WITH_TIMEOUT(publisher->SentCount(t.state), 2, kWait);
        const QJsonObject state = Parsed(publisher->LastSent(t.state));
        QCOMPARE(state["pumps"].toObject()["TMP1"].toObject()["hours"].toDouble(), 1234.4);
    }

    // A clean exit: the plant as last known, offline, no reading current, and online=false last.
    void theFarewellLeavesTheTruth() {
        link->ShowConnection(true, "Com3");
        state::HandleMessage(*s, test::View(Report()));
        publisher->Check();
        const auto last = publisher->Farewell();
        QCOMPARE(last.back().topic, publisher->topics().online);
        QCOMPARE(last.back().payload, Publisher::kOffline);
        QCOMPARE(last.front().topic, publisher->topics().state);
        const QJsonObject state = Parsed(last.front().payload);
        QCOMPARE(state["quality"].toString(), "offline");
        QCOMPARE(state["time"], Parsed(publisher->LastSent(publisher->topics().state))["time"]);
        QCOMPARE(state["valves"].toObject()["1V1"].toString(), "closed");
        QVERIFY(state["gauges"].toObject()["TG1"].toObject()["mbar"].isNull());
        for (const std::string& gauge : publisher->topics().gauges) {
            const auto it = std::find_if(last.begin(), last.end(),
                                         [&](const auto& m) { return m.topic == gauge; });
            QVERIFY(it != last.end() && it->payload == "null" && it->retain);
        }
    }

    // Two gateways under one prefix: each learns of the other and says so once.
    void aSecondGatewayIsNoticed() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        const QString url = broker.Url(QStringLiteral("twice"));
        state::PanelState a, b;
        MqttClient first(OptionsFor(url)), second(OptionsFor(url));
        Publisher one(first, a, QStringLiteral("twice")), two(second, b, QStringLiteral("twice"));
        QSignalSpy oneHeard(&one, &Publisher::AnotherGateway),
            twoHeard(&two, &Publisher::AnotherGateway);
        QVERIFY(first.Start().ok());
        QTRY_COMPARE_WITH_TIMEOUT(first.State(), MqttClient::BrokerState::Connected, kWait);
        // Its own meta back, and a previous run's retained one replaced without a word.
        QTRY_VERIFY_WITH_TIMEOUT(one.HeardItself(), kWait);
        QVERIFY(oneHeard.isEmpty());
        QVERIFY(second.Start().ok());
        QTRY_COMPARE_WITH_TIMEOUT(oneHeard.count(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(twoHeard.count(), 1, kWait);
        QCOMPARE(oneHeard.first().first().toString(), two.run());
        QCOMPARE(twoHeard.first().first().toString(), one.run());
        first.Stop();
        second.Stop();
    }

private:
    std::unique_ptr<state::PanelState> s;
    std::unique_ptr<state::LinkDisplay> link;
    std::unique_ptr<MqttClient> client;
    std::unique_ptr<Publisher> publisher;
};

QTEST_GUILESS_MAIN(TestPublisher)
#include "tst_publisher.moc"

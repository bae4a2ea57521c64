// The publisher's pace, driven tick by tick, and its topic tree as an independent subscriber
// (mosquitto_sub) sees it on a real broker.
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <memory>

#include "protocol/lines.h"
#include "publish/mqtt_client.h"
#include "publish/publisher.h"
#include "sim/plant.h"
#include "sim/replies.h"
#include "state/dispatcher.h"
#include "state/link_display.h"
#include "support/broker.h"

using namespace vp;
using publish::MqttClient;
using publish::Publisher;
using state::Text;

namespace {

constexpr int kWait = 15000;

QByteArray Report() {
    sim::Plant plant;
    plant.Advance(3600);
    return test::Signed(sim::StatusReportBody(plant));
}

MqttClient::Options To(const QString& url) {
    MqttClient::Options options;
    options.url = *publish::ParseBrokerUrl(url, nullptr);
    return options;
}

const char kEvent[] =
    "090_\xaa"
    "426";

}  // namespace

class TestPublisher : public QObject {
    Q_OBJECT

private slots:
    void thePaceFollowsWhatChanged() {
        state::PanelState s;
        state::LinkDisplay link(s);
        MqttClient client(To(QStringLiteral("mqtt://127.0.0.1:1/p")));  // never started
        Publisher publisher(client, s, QStringLiteral("p"));
        publisher.Check();
        QCOMPARE(publisher.PublishedCount(), 1);
        publisher.Check();  // nothing changed: nothing goes out
        QCOMPARE(publisher.PublishedCount(), 1);

        // A counter alone waits for the second to pass since the last state went out.
        link.FrameSent(1);
        publisher.Check();
        QCOMPARE(publisher.PublishedCount(), 1);
        QVERIFY(publisher.timer().isActive());
        QVERIFY(publisher.timer().remainingTime() > Publisher::kPlantSpacingMs);

        // The plant's change goes out as soon as the spacing allows, counters with it.
        s.SetCaption(Text::lbl1V1status, "open");
        QTRY_COMPARE_WITH_TIMEOUT(publisher.PublishedCount(), 2, Publisher::kPlantSpacingMs * 3);
        const QJsonObject sent = publisher.Published();
        QCOMPARE(sent["link"].toObject()["sent"].toInt(), 1);
        QCOMPARE(sent["panel"].toObject()["texts"].toObject()["lbl1V1status"].toString(),
                 QStringLiteral("open"));
        QVERIFY(!publisher.timer().isActive());
    }

    void theTopicTreeAsASubscriberSeesIt() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        const QString url = broker.Url(QStringLiteral("site1/plantA"));
        state::PanelState s;
        MqttClient client(To(url));
        Publisher publisher(client, s, QStringLiteral("site1/plantA"));
        QSignalSpy connected(&client, &MqttClient::Connected);
        QVERIFY(client.Start(nullptr));
        QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty(), kWait);

        state::HandleMessage(s, test::View(Report()));
        const auto list =
            state::HandleMessage(s, test::View(test::Signed("090_" + test::Byte(170))));
        publisher.PublishEvent(*list, kEvent);
        s.LastPressures = {"5.000E-3", "", "1.013E 3", "---"};
        publisher.PublishPressures(s.LastPressures);
        QTRY_VERIFY_WITH_TIMEOUT(publisher.PublishedCount() >= 2, kWait);

        // A late subscriber: the retained topics only, flagged as retained.
        QProcess sub;
        sub.start(QStringLiteral("mosquitto_sub"),
                  {"-p", QString::number(broker.port()), "-t", "site1/plantA/#", "-F", "%r %t %p"});
        QVERIFY(sub.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(sub.canReadLine(), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(QByteArray(sub.peek(1 << 16)).count('\n') >= 2, kWait);
        const QList<QByteArray> lines = sub.readAll().split('\n');
        QVERIFY(lines.contains("1 site1/plantA/online true"));
        QByteArray state;
        for (const QByteArray& line : lines)
            if (line.startsWith("1 site1/plantA/state ")) state = line.mid(21);
        const QJsonObject object = QJsonDocument::fromJson(state).object();
        QCOMPARE(object["gauges"].toObject()["TG1"].toObject()["state"].toString(),
                 QStringLiteral("OK"));
        QCOMPARE(object["panel"].toObject()["lists"].toObject()["lstErrors"].toArray().size(), 1);

        // Events and pressures are not retained: a subscriber sees them as they come.
        publisher.PublishEvent(*list, kEvent);
        publisher.PublishPressures(s.LastPressures);
        QTRY_VERIFY_WITH_TIMEOUT(QByteArray(sub.peek(1 << 16)).count('\n') >= 2, kWait);
        const QByteArray more = sub.readAll();
        QVERIFY(more.contains("0 site1/plantA/events {"));
        QVERIFY(more.contains("\"list\":\"errors\""));
        QVERIFY(more.contains("\"text\":\"170 (no response from icpcon)\""));
        QVERIFY(more.contains("0 site1/plantA/pressure {"));
        QVERIFY(more.contains("\"TG1\":0.005"));
        QVERIFY(more.contains("\"1G1\":null"));

        // Leaving: online=false, retained for whoever comes next.
        publisher.Stop();
        QByteArray last;
        QTRY_VERIFY_WITH_TIMEOUT((last += sub.readAll()).contains("0 site1/plantA/online false"),
                                 kWait);
        sub.kill();
        sub.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestPublisher)
#include "tst_publisher.moc"

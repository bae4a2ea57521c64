// SPDX-License-Identifier: MIT
// A view's window where a panel names its serial port: the broker it reads the plant from, and
// whether it reaches it, against a real mosquitto that is away, comes, and goes again; the
// plant's own link once its state comes, and that the plant is gone once it says so.
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>

#include "app/panel.h"
#include "app/publishing.h"
#include "app/remote_view.h"
#include "panel/form1.h"
#include "support/broker.h"

using vp::app::RemoteView;

namespace {
constexpr int kWait = 20000;  // ms: the client's retry delay grows to 4 s on a loaded machine

QString Status(RemoteView& view) {
    return view.window().lblStatus->Caption() + u'|' + view.window().lblComStatus->Caption();
}
}  // namespace

class TestViewCaptions : public QObject {
    Q_OBJECT

private slots:
    void brokerNamedBeforeAnyAttempt_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("shown");
        QTest::newRow("IPv4") << "mqtt://127.0.0.1/plant"
                              << "Broker connecting|127.0.0.1:1883";
        QTest::newRow("IPv6") << "mqtt://[::1]:1884/plant"
                              << "Broker connecting|[::1]:1884";
        QTest::newRow("TLS") << "mqtts://broker.example/plant"
                             << "Broker connecting|broker.example:8883";
    }

    void brokerNamedBeforeAnyAttempt() {
        QFETCH(QString, url);
        RemoteView view(ParsedUrl(url), vp::app::Options{});  // never started: nothing dialled
        QTEST(Status(view), "shown");
    }

    void brokerAwayComesAndGoes() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        broker.Stop();  // its port known, nobody listening there
        RemoteView view(ParsedUrl(broker.Url(QStringLiteral("plant"))), vp::app::Options{});
        const QString where = QStringLiteral("|127.0.0.1:%1").arg(broker.port());
        QVERIFY(view.Start().ok());
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Broker unreachable" + where, kWait);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Broker connected" + where, kWait);
        broker.Stop();
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Broker unreachable" + where, kWait);
        view.Stop();
    }

    void plantGoneSaysSo() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        const auto url = ParsedUrl(broker.Url(QStringLiteral("plant")));
        const QString where = QStringLiteral("|127.0.0.1:%1").arg(broker.port());
        vp::app::Panel panel({.ports = {}});
        vp::app::Publishing publishing(panel, url, vp::app::Options{});
        QVERIFY(publishing.Start().ok());
        RemoteView view(url, vp::app::Options{});
        QVERIFY(view.Start().ok());
        // The plant's line as its panel shows it, held still: the connection display's own tick
        // would say the port it never opened is closed.
        for (QTimer* timer : panel.link().findChildren<QTimer*>()) timer->stop();
        panel.linkDisplay().ShowConnection(true, QStringLiteral("Com3,9600,n,1"));
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Connected|Com3,9600,n,1", kWait);

        // A view that comes to a plant on line hears its retained view and its flag, in whatever
        // order the broker keeps them: the plant's link either way.
        {
            RemoteView late(url, vp::app::Options{});
            QSignalSpy heard(&late.client(), &vp::publish::MqttClient::MessageArrived);
            QVERIFY(late.Start().ok());
            const auto arrived = [&heard](const char* topic) {
                return std::any_of(heard.cbegin(), heard.cend(), [topic](const QList<QVariant>& m) {
                    return m[0].toByteArray() == topic;
                });
            };
            QTRY_VERIFY_WITH_TIMEOUT(arrived("plant/online") && arrived("plant/view"), kWait);
            // The broker's own word may still be on its way behind them; it must not stay.
            QTRY_COMPARE_WITH_TIMEOUT((late.window().view().Render(), Status(late)),
                                      "Connected|Com3,9600,n,1", kWait);
            late.Stop();
        }

        // States stop coming while the plant is on line: its link's captions are old news.
        view.feed().Watchdog->setInterval(50);
        view.feed().Watchdog->start();
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Plant silent" + where, kWait);
        view.feed().Watchdog->setInterval(vp::publish::RemoteFeed::kWatchdogMs);
        panel.linkDisplay().ShowConnection(true, QStringLiteral("Com4,9600,n,1"));  // news
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Connected|Com4,9600,n,1", kWait);

        publishing.Stop();  // online=false, the last state left retained
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Plant offline" + where, kWait);
        // A view that comes later hears the plant's last state and its flag, both retained.
        RemoteView later(url, vp::app::Options{});
        QVERIFY(later.Start().ok());
        QTRY_VERIFY_WITH_TIMEOUT(later.state().Link().connected, kWait);  // the state has come
        QTRY_COMPARE_WITH_TIMEOUT(Status(later), "Plant offline" + where, kWait);
        later.Stop();
        view.Stop();
    }
};

QTEST_MAIN(TestViewCaptions)
#include "tst_view_captions.moc"

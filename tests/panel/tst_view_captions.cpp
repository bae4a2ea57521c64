// A view's window where a panel names its serial port: the broker it reads the plant from, and
// whether it reaches it, against a real mosquitto that is away, comes, and goes again.
#include <QtTest>

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
        QVERIFY(!view.Start());
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Broker unreachable" + where, kWait);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Broker connected" + where, kWait);
        broker.Stop();
        QTRY_COMPARE_WITH_TIMEOUT(Status(view), "Broker unreachable" + where, kWait);
        view.Stop();
    }
};

QTEST_MAIN(TestViewCaptions)
#include "tst_view_captions.moc"

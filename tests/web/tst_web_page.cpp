// The plant's page in real headless Chromium, served by a real mosquitto set up as the package's
// example configuration, compared with the real window.
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include "app/remote_view.h"
#include "page_probe.h"
#include "panel/colours.h"
#include "panel/form1.h"
#include "publish/broker_url.h"
#include "publish/mqtt_client.h"
#include "state/panel_state.h"
#include "support/live_panel.h"
#include "web_broker.h"

using vp::publish::MqttClient;
namespace state = vp::state;

namespace {

const QString kPlant = QStringLiteral("site1/vacuum/plantA");
constexpr unsigned kGreen = 0x0000FF00;

QString Hex(unsigned value) {
    return vp::panel::ScreenColour(value).name();
}

// A view as the window shows it: every indicator in one colour, a few captions and list entries.
QJsonObject ViewOf(unsigned fill, const QString& pressure) {
    QJsonObject fills, texts;
    for (std::size_t i = 0; i < state::kIndicatorCount; ++i)
        fills[state::Name(static_cast<state::Fill>(i))] = static_cast<qint64>(fill);
    texts["lblTG1"] = pressure;
    texts["lblCurrentMode"] = QStringLiteral("High vacuum");
    const QJsonObject lists{{"lstErrors", QJsonArray{"170 (no response from icpcon)"}},
                            {"lstWarnings", QJsonArray{}},
                            {"lstMessages", QJsonArray{}}};
    return {{"schema", 2}, {"fills", fills}, {"texts", texts}, {"lists", lists}};
}

QByteArray Json(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}
QByteArray StateWith(const char* quality) {
    return QByteArray(R"({"schema":2,"time":null,"quality":")") + quality + "\"}";
}

}  // namespace

class TestWebPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pageShowsWhatTheWindowShows();
    void greysOnEachCause_data();
    void greysOnEachCause();
    void badPayloadsAreIgnoredWithOneLine_data();
    void badPayloadsAreIgnoredWithOneLine();
    void badPrefixIsRefused_data();
    void badPrefixIsRefused();
    void plantListFollowsThePlants();
    void pagePublishesNothing();
    void browsersMayNotPublish();
    void brokerGoneGreysAndPageComesBack();
    void pageEqualsTheRemoteViewOfAGateway();

private:
    void Publish(const QString& plant, const char* leaf, const QByteArray& payload) {
        gateway_->Publish((plant + "/" + leaf).toStdString(), payload, 1, true);
    }
    // The plant live and green on the page.
    bool MakeLive(const QString& pressure = QStringLiteral("5.000E-3\r\nmBar"), int ms = 10000) {
        Publish(kPlant, "online", "true");
        Publish(kPlant, "state", StateWith("good"));
        Publish(kPlant, "view", Json(ViewOf(kGreen, pressure)));
        return QTest::qWaitFor([&] { return Live() && Text("lblTG1") == pressure; }, ms);
    }
    QJsonObject Element(const QString& id) { return probe_.Elements("plant").value(id).toObject(); }
    QString Text(const QString& id) { return Element(id).value("text").toString(); }
    bool Live() {
        const QJsonObject e = probe_.Elements("plant");
        return e.value("shpTG1").toObject().value("fill").toString() == Hex(kGreen) &&
               probe_.Banner("plant").isEmpty();
    }
    bool AllGrey() {
        const QJsonObject e = probe_.Elements("plant");
        for (std::size_t i = 0; i < state::kIndicatorCount; ++i)
            if (e.value(state::Name(static_cast<state::Fill>(i))).toObject().value("fill") !=
                Hex(LivePanel::kGrey))
                return false;
        return true;
    }

    WebBroker broker_;
    PageProbe probe_;
    std::unique_ptr<MqttClient> gateway_;
};

void TestWebPage::initTestCase() {
    const QString browser =
        qEnvironmentVariable("VP_BROWSER") == "firefox" ? "firefox-esr" : "chromium";
    if (QStandardPaths::findExecutable(browser).isEmpty() ||
        QStandardPaths::findExecutable("node").isEmpty())
        QSKIP(qPrintable(browser + " or node is not installed"));
    QVERIFY2(broker_.Start(), qPrintable(broker_.Error()));
    MqttClient::Options options;
    options.url = vp::publish::ParseBrokerUrl(broker_.GatewayUrl(kPlant)).value();
    options.credentials = vp::publish::Credentials{WebBroker::kUser, WebBroker::kPassword};
    gateway_ = std::make_unique<MqttClient>(options);
    // A spy, not a lambda on this frame: the client connects again after the broker's restarts.
    QSignalSpy connected(gateway_.get(), &MqttClient::Connected);
    QVERIFY(gateway_->Start().ok());
    QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty(), 10000);
    QVERIFY(probe_.Start());
    QVERIFY(probe_.Open("plant", broker_.Page("plant.html?prefix=" + kPlant)));
}

void TestWebPage::cleanupTestCase() {
    probe_.Stop();
    gateway_.reset();
    broker_.Stop();
}

// The view a gateway would publish of this window, taken from the window's own controls: the page
// must show every fill, caption and list entry of it on the element of the control's name.
void TestWebPage::pageShowsWhatTheWindowShows() {
    LivePanel live;
    QString error;
    QVERIFY2(live.Start(&error), qPrintable(error));
    QVERIFY(live.sim->InjectFault(QStringLiteral("error-report=170")).ok());
    live.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(live.Live() && live.form->lstErrors->count() > 0, LivePanel::kWait);
    live.form->view().Render();

    QJsonObject fills, texts, lists;
    for (std::size_t i = 0; i < state::kFillCount; ++i) {
        const char* name = state::Name(static_cast<state::Fill>(i));
        if (QByteArray(name) == "shpSend" || QByteArray(name) == "shpRecv") continue;
        fills[name] =
            static_cast<qint64>(live.form->findChild<vp::panel::Shape*>(name)->FillColor());
    }
    for (std::size_t i = 0; i < state::kTextCount; ++i) {
        const char* name = state::Name(static_cast<state::Text>(i));
        if (auto* label = live.form->findChild<vp::panel::Label*>(name))
            texts[name] = label->Caption();
        else
            texts[name] = live.form->findChild<QLineEdit*>(name)->text();
    }
    for (std::size_t i = 0; i < state::kListCount; ++i) {
        const char* name = state::Name(static_cast<state::List>(i));
        QJsonArray entries;
        const auto* list = live.form->findChild<QListWidget*>(name);
        for (int row = 0; row < list->count(); ++row) entries.append(list->item(row)->text());
        lists[name] = entries;
    }
    const QPixmap window = live.form->grab();
    live.Stop();
    const QJsonObject view{{"schema", 2}, {"fills", fills}, {"texts", texts}, {"lists", lists}};
    Publish(kPlant, "online", "true");
    Publish(kPlant, "state", StateWith("good"));
    Publish(kPlant, "view", Json(view));

    QTRY_VERIFY_WITH_TIMEOUT(Text("lblSentMessages") == texts["lblSentMessages"].toString(), 10000);
    const QJsonObject page = probe_.Elements("plant");
    for (auto it = fills.begin(); it != fills.end(); ++it) {
        const QJsonObject e = page.value(it.key()).toObject();
        QVERIFY2(QStringList({"rect", "circle", "ellipse"}).contains(e.value("tag").toString()),
                 qPrintable(it.key()));
        QCOMPARE(e.value("fill").toString(), Hex(static_cast<unsigned>(it.value().toInteger())));
    }
    for (auto it = texts.begin(); it != texts.end(); ++it)
        QCOMPARE(page.value(it.key()).toObject().value("text").toString(), it.value().toString());
    for (auto it = lists.begin(); it != lists.end(); ++it) {
        const QJsonObject e = page.value(it.key()).toObject();
        QCOMPARE(e.value("tag").toString(), QStringLiteral("ul"));
        QCOMPARE(e.value("entries").toArray(), it.value().toArray());
    }
    QVERIFY(!lists["lstErrors"].toArray().isEmpty());
    // scripts/screenshots.sh asks for the two pictures side by side while no gateway publishes
    // the view.
    const QString pictures = qEnvironmentVariable("VP_WEB_PICTURES");
    if (!pictures.isEmpty()) {
        QVERIFY(window.save(pictures + "/window.png"));
        QVERIFY(probe_.Ask("shot plant " + pictures + "/page.png").toBool());
    }
}

void TestWebPage::greysOnEachCause_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("banner");
    QTest::addColumn<int>("notBeforeMs");
    QTest::addColumn<int>("boundMs");
    // The bounds leave a second for a loaded machine beyond what the page itself allows; the
    // watchdog's lower bound counts from when the test saw the page live, after the page heard
    // its last message.
    QTest::newRow("gateway offline") << "offline"
                                     << "Offline" << 0 << 1000;
    QTest::newRow("quality stale") << "stale"
                                   << "stale" << 0 << 1000;
    QTest::newRow("quality disconnected") << "disconnected"
                                          << "disconnected" << 0 << 1000;
    QTest::newRow("quality starting") << "starting"
                                      << "starting" << 0 << 1000;
    QTest::newRow("nothing for 3 s") << "silence"
                                     << "no data since" << 2000 << 4000;
    QTest::newRow("broker frozen") << "freeze"
                                   << "no data since" << 2000 << 4000;
}

void TestWebPage::greysOnEachCause() {
    QFETCH(QString, cause);
    QFETCH(QString, banner);
    QFETCH(int, notBeforeMs);
    QFETCH(int, boundMs);
    QVERIFY(MakeLive());
    QElapsedTimer since;
    since.start();
    if (cause == "offline")
        Publish(kPlant, "online", "false");
    else if (cause == "freeze")
        broker_.Freeze();
    else if (cause != "silence")
        Publish(kPlant, "state", StateWith(qPrintable(cause)));
    QTRY_VERIFY_WITH_TIMEOUT(AllGrey(), boundMs);
    const qint64 took = since.elapsed();
    broker_.Continue();
    QVERIFY2(took >= notBeforeMs, qPrintable(QString::number(took)));
    QVERIFY2(probe_.Banner("plant").contains(banner, Qt::CaseInsensitive),
             qPrintable(probe_.Banner("plant")));
    // Captions stay as the plant last said them, as on the window.
    QCOMPARE(Text("lblTG1"), QStringLiteral("5.000E-3\r\nmBar"));
}

void TestWebPage::badPayloadsAreIgnoredWithOneLine_data() {
    QTest::addColumn<QByteArray>("leaf");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("view not JSON") << QByteArray("view") << QByteArray("{\"schema\":2,");
    QTest::newRow("view of another schema")
        << QByteArray("view")
        << QByteArray(R"({"schema":1,"fills":{"shpTG1":255},"texts":{},"lists":{}})");
    QTest::newRow("fill not a colour value")
        << QByteArray("view")
        << QByteArray(R"({"schema":2,"fills":{"shpTG1":"red"},"texts":{},"lists":{}})");
    QTest::newRow("fill beyond 32 bits")
        << QByteArray("view")
        << QByteArray(R"({"schema":2,"fills":{"shpTG1":4294967296},"texts":{},"lists":{}})");
    QTest::newRow("caption not a string")
        << QByteArray("view")
        << QByteArray(R"({"schema":2,"fills":{},"texts":{"lblTG1":7},"lists":{}})");
    QTest::newRow("list of numbers")
        << QByteArray("view")
        << QByteArray(R"({"schema":2,"fills":{},"texts":{},"lists":{"lstErrors":[1]}})");
    QTest::newRow("state without quality")
        << QByteArray("state") << QByteArray(R"({"schema":2,"time":null})");
    QTest::newRow("state of another quality")
        << QByteArray("state") << QByteArray(R"({"schema":2,"quality":"fine"})");
    QTest::newRow("online neither true nor false") << QByteArray("online") << QByteArray("yes");
}

void TestWebPage::badPayloadsAreIgnoredWithOneLine() {
    QFETCH(QByteArray, leaf);
    QFETCH(QByteArray, payload);
    QVERIFY(MakeLive());
    probe_.Console("plant");
    Publish(kPlant, leaf.constData(), payload);
    QStringList lines;
    QTRY_VERIFY_WITH_TIMEOUT(!(lines += probe_.Console("plant")).isEmpty(), 5000);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].contains(leaf + " ignored"), qPrintable(lines[0]));
    QVERIFY(Live());
    QCOMPARE(Text("lblTG1"), QStringLiteral("5.000E-3\r\nmBar"));
}

void TestWebPage::badPrefixIsRefused_data() {
    QTest::addColumn<QString>("query");
    QTest::newRow("no prefix") << "";
    QTest::newRow("single-level wildcard") << "?prefix=site1/%2B/plantA";
    QTest::newRow("multi-level wildcard") << "?prefix=site1/%23";
    QTest::newRow("way up") << "?prefix=site1/../plantA";
    QTest::newRow("empty level") << "?prefix=site1//plantA";
}

void TestWebPage::badPrefixIsRefused() {
    QFETCH(QString, query);
    QVERIFY(probe_.Open("bad", broker_.Page("plant.html" + query)));
    const QString banner = probe_.Banner("bad");
    const QString fill = probe_.Elements("bad").value("shpTG1").toObject().value("fill").toString();
    probe_.Ask("close bad");
    QVERIFY2(banner.contains("prefix"), qPrintable(banner));
    QCOMPARE(fill, Hex(LivePanel::kGrey));
}

void TestWebPage::plantListFollowsThePlants() {
    const QString other = QStringLiteral("site1/vacuum/plantB");
    QVERIFY(MakeLive());
    QVERIFY(probe_.Open("index", broker_.Page("index.html?prefix=site1/vacuum")));
    const auto rows = [&] {
        QStringList out;
        for (const QJsonValue& r : probe_.Ask("rows index").toArray()) {
            const QJsonObject o = r.toObject();
            out << o.value("prefix").toString() + " " + o.value("online").toString() + " " +
                       o.value("quality").toString();
        }
        return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(rows(), QStringList{kPlant + " online good"}, 10000);
    Publish(other, "online", "true");
    Publish(other, "state", StateWith("stale"));
    QTRY_COMPARE_WITH_TIMEOUT(
        rows(), QStringList({kPlant + " online good", other + " online stale"}), 5000);
    const QJsonArray links = probe_.Ask("rows index").toArray();
    QCOMPARE(links[1].toObject().value("href").toString(),
             QStringLiteral("plant.html?prefix=site1%2Fvacuum%2FplantB"));
    Publish(kPlant, "online", "false");
    Publish(other, "online", "");  // its gateway retired: the retained flag cleared
    QTRY_COMPARE_WITH_TIMEOUT(rows(), QStringList{kPlant + " offline good"}, 5000);
    probe_.Ask("close index");
}

// The page only subscribes: the broker never received a message from any of its clients, though
// they connected.
void TestWebPage::pagePublishesNothing() {
    QVERIFY(MakeLive());
    QTRY_VERIFY_WITH_TIMEOUT(broker_.Log().contains("Received SUBSCRIBE from vp-web-"), 5000);
    // The ACL denies what a page would publish; the log names it either way.
    QVERIFY2(!broker_.Log().contains(QRegularExpression("(Received|Denied) PUBLISH from vp-web-")),
             "a page published");
}

// A page made to publish (a browser's console, another page) is refused by the broker's ACL: the
// plant's subscribers hear nothing of it.
void TestWebPage::browsersMayNotPublish() {
    QByteArrayList heard;
    QObject listening;  // ends the connection with this test: the client outlives it
    connect(gateway_.get(), &MqttClient::MessageArrived, &listening,
            [&](const QByteArray& topic, const QByteArray& payload) {
                if (topic.endsWith("/intruder") || topic.endsWith("/marker")) heard << payload;
            });
    gateway_->Subscribe("site1/#", 1);
    QVERIFY(probe_.Open("intruder", broker_.Page("index.html")));
    const QString sent = probe_
                             .Ask(
                                 "eval intruder new Promise((done) => { const c = mqtt.connect("
                                 "'ws://' + location.host + '/mqtt'); c.on('connect', () => "
                                 "c.publish('" +
                                 kPlant +
                                 "/intruder', 'intruder', {qos: 1}, "
                                 "(e) => done(e ? 'refused' : 'acknowledged'))); })")
                             .toString();
    probe_.Ask("close intruder");
    QVERIFY2(!sent.isEmpty(), "the publishing page never connected");
    // The broker had routed the page's message, had it taken it, before this one.
    gateway_->Publish(kPlant.toStdString() + "/marker", "marker", 1, false);
    QTRY_VERIFY_WITH_TIMEOUT(heard.contains("marker"), 5000);
    QCOMPARE(heard, QByteArrayList{"marker"});
    QVERIFY(broker_.Log().contains(QRegularExpression("Denied PUBLISH from \\S+ .*intruder")));
}

void TestWebPage::brokerGoneGreysAndPageComesBack() {
    QVERIFY(MakeLive());
    QElapsedTimer since;
    since.start();
    broker_.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(AllGrey(), 3000);
    QVERIFY(probe_.Banner("plant").contains("Disconnected"));

    // Where the broker was, something that takes each connection and drops it at once: the page
    // comes back less and less often.
    QTcpServer refuser;
    QVERIFY(refuser.listen(QHostAddress::LocalHost, broker_.webPort()));
    QList<qint64> attempts;
    connect(&refuser, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = refuser.nextPendingConnection()) {
            attempts << since.elapsed();
            s->abort();
            s->deleteLater();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(attempts.size() >= 3, 15000);
    refuser.close();
    for (int i = 2; i < attempts.size(); ++i) {
        const qint64 before = attempts[i - 1] - attempts[i - 2],
                     now = attempts[i] - attempts[i - 1];
        QVERIFY2(now > before * 3 / 2,
                 qPrintable(QStringLiteral("%1 ms, then %2 ms").arg(before).arg(now)));
    }
    QVERIFY2(broker_.Start(), qPrintable(broker_.Error()));
    // The broker came back empty (no persistence): the gateway's values again, and the page takes
    // them up after its next retry, 8 s after the last.
    QVERIFY(MakeLive(QStringLiteral("5.000E-3\r\nmBar"), 20000));
}

// What the window shows and the page does not, control by control; empty when they agree.
QStringList Differences(vp::panel::Form1& window, const QJsonObject& page) {
    QStringList out;
    const auto differ = [&](const char* name, const QJsonValue& want, const QJsonValue& got) {
        if (want != got)
            out << QStringLiteral("%1: window %2, page %3")
                       .arg(name)
                       .arg(want.toVariant().toString(), got.toVariant().toString());
    };
    for (std::size_t i = 0; i < state::kIndicatorCount; ++i) {
        const char* name = state::Name(static_cast<state::Fill>(i));
        differ(name, Hex(window.findChild<vp::panel::Shape*>(name)->FillColor()),
               page.value(name).toObject().value("fill"));
    }
    for (std::size_t i = 0; i < state::kTextCount; ++i) {
        const char* name = state::Name(static_cast<state::Text>(i));
        const auto* label = window.findChild<vp::panel::Label*>(name);
        differ(name, label ? label->Caption() : window.findChild<QLineEdit*>(name)->text(),
               page.value(name).toObject().value("text"));
    }
    for (std::size_t i = 0; i < state::kListCount; ++i) {
        const char* name = state::Name(static_cast<state::List>(i));
        QJsonArray entries;
        const auto* list = window.findChild<QListWidget*>(name);
        for (int row = 0; row < list->count(); ++row) entries.append(list->item(row)->text());
        differ(name, entries, page.value(name).toObject().value("entries"));
    }
    return out;
}

// A real headless gateway on the simulated controller, the Qt remote view of its plant and the
// page, all fed by the same broker: the page shows what the remote view shows.
void TestWebPage::pageEqualsTheRemoteViewOfAGateway() {
    const QString plant = QStringLiteral("site1/vacuum/gateway");
    QProcess gateway;
    gateway.setProcessChannelMode(QProcess::ForwardedChannels);
    gateway.start(QStringLiteral(VP_GATEWAY),
                  {"--headless", "--simulate", "--publish", broker_.GatewayUrl(plant),
                   "--mqtt-credentials", broker_.CredentialsFile()});
    QVERIFY(gateway.waitForStarted());
    const auto end = qScopeGuard([&] {
        gateway.terminate();
        if (!gateway.waitForFinished(10000)) gateway.kill();
    });

    vp::app::Options options;
    options.credentials = vp::publish::Credentials{WebBroker::kUser, WebBroker::kPassword};
    vp::app::RemoteView remote(vp::publish::ParseBrokerUrl(broker_.GatewayUrl(plant)).value(),
                               options);
    bool viewHeard = false;
    connect(&remote.client(), &MqttClient::MessageArrived,
            [&](const QByteArray& topic, const QByteArray&) {
                viewHeard = viewHeard || topic.endsWith("/view");
            });
    remote.client().Subscribe(plant.toStdString() + "/view", 1);
    QVERIFY(remote.Start().ok());
    QVERIFY2(QTest::qWaitFor([&] { return viewHeard; }, 20000),
             "the gateway published no view topic");

    QVERIFY(probe_.Open("gateway", broker_.Page("plant.html?prefix=" + plant)));
    QStringList differences;
    const bool same = QTest::qWaitFor(
        [&] {
            remote.window().view().Render();
            differences = Differences(remote.window(), probe_.Elements("gateway"));
            return differences.isEmpty();
        },
        15000);
    probe_.Ask("close gateway");
    QVERIFY2(same, qPrintable(differences.join("; ")));
    QVERIFY(remote.window().findChild<vp::panel::Shape*>("shpTG1")->FillColor() !=
            LivePanel::kGrey);
}

QTEST_MAIN(TestWebPage)
#include "tst_web_page.moc"

// SPDX-License-Identifier: MIT
// The plant's page in real headless Chromium, served by a real mosquitto set up as the package's
// example configuration, compared with the real window.
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include "page_probe.h"
#include "panel/colours.h"
#include "panel/form1.h"
#include "publish/broker_url.h"
#include "publish/mqtt_client.h"
#include "publish/payloads.h"
#include "publish/publisher.h"
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

QString Tag(const QJsonObject& page, const char* name) {
    return page.value(name).toObject().value("tag").toString();
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
        if (!QStringList({"rect", "circle", "ellipse"}).contains(Tag(page, name)))
            out << QStringLiteral("%1: a <%2>").arg(name, Tag(page, name));
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
        if (Tag(page, name) != "ul") out << QStringLiteral("%1: a <%2>").arg(name, Tag(page, name));
    }
    return out;
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
    void browsersMayNotPublish();
    void brokerGoneGreysAndPageComesBack();

private:
    // On the gateway's own topic names, so the page is held to them.
    void Publish(const QString& plant, const QByteArray& leaf, const QByteArray& payload) {
        const vp::publish::Topics t(plant);
        gateway_->Publish(leaf == "online"  ? t.online
                          : leaf == "state" ? t.state
                                            : t.view,
                          payload, 1, true);
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

// The view a gateway publishes of this window's plant: the page must show every fill, caption and
// list entry the window shows, on the element of the control's name.
void TestWebPage::pageShowsWhatTheWindowShows() {
    LivePanel live;
    QString error;
    QVERIFY2(live.Start(&error), qPrintable(error));
    QVERIFY(live.sim->InjectFault(QStringLiteral("error-report=170")).ok());
    live.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(live.Live() && live.form->lstErrors->count() > 0, LivePanel::kWait);
    // The window holds still but for answers still on their way, each published again.
    for (QTimer* timer : live.panel->findChildren<QTimer*>()) timer->stop();
    for (QTimer* timer : live.panel->link().findChildren<QTimer*>()) timer->stop();
    Publish(kPlant, "online", "true");
    Publish(kPlant, "state", StateWith("good"));
    std::optional<std::uint64_t> published;
    QStringList differences;
    const bool same = QTest::qWaitFor(
        [&] {
            live.form->view().Render();
            if (published != live.panel->state().Revision()) {
                published = live.panel->state().Revision();
                Publish(kPlant, "view", Json(vp::publish::ViewObject(live.panel->state())));
            }
            return (differences = Differences(*live.form, probe_.Elements("plant"))).isEmpty();
        },
        10000);
    QVERIFY2(same, qPrintable(differences.join("; ")));
    // scripts/screenshots.sh asks for the two pictures side by side while no gateway publishes
    // the view.
    const QString pictures = qEnvironmentVariable("VP_WEB_PICTURES");
    if (!pictures.isEmpty()) {
        QVERIFY(live.form->grab().save(pictures + "/window.png"));
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
    for (const char* quality : {"stale", "disconnected", "starting"})
        QTest::addRow("quality %s", quality) << quality << quality << 0 << 1000;
    QTest::newRow("gateway offline") << "offline"
                                     << "Offline" << 0 << 1000;
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
    const auto row = [](const char* name, const char* leaf, const char* payload) {
        QTest::newRow(name) << QByteArray(leaf) << QByteArray(payload);
    };
    // clang-format off
    row("view not JSON", "view", "{\"schema\":2,");
    row("view of another schema", "view", R"({"schema":1,"fills":{"shpTG1":255},"texts":{},"lists":{}})");
    row("fill not a colour value", "view", R"({"schema":2,"fills":{"shpTG1":"red"},"texts":{},"lists":{}})");
    row("fill beyond 32 bits", "view", R"({"schema":2,"fills":{"shpTG1":4294967296},"texts":{},"lists":{}})");
    row("caption not a string", "view", R"({"schema":2,"fills":{},"texts":{"lblTG1":7},"lists":{}})");
    row("list of numbers", "view", R"({"schema":2,"fills":{},"texts":{},"lists":{"lstErrors":[1]}})");
    row("state without quality", "state", R"({"schema":2,"time":null})");
    row("state of another quality", "state", R"({"schema":2,"quality":"fine"})");
    row("online neither true nor false", "online", "yes");
    // clang-format on
}

void TestWebPage::badPayloadsAreIgnoredWithOneLine() {
    QFETCH(QByteArray, leaf);
    QFETCH(QByteArray, payload);
    QVERIFY(MakeLive());
    probe_.Console("plant");
    Publish(kPlant, leaf, payload);
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

// The pages only subscribe: the broker never received a message from any of their clients,
// though they connected. A page made to publish (a browser's console, another page) is refused by
// the broker's ACL: the plant's subscribers hear nothing of it.
void TestWebPage::browsersMayNotPublish() {
    QVERIFY(MakeLive());
    QTRY_VERIFY_WITH_TIMEOUT(broker_.Log().contains("Received SUBSCRIBE from vp-web-"), 5000);
    // The ACL denies what a page would publish; the log names it either way.
    QVERIFY2(!broker_.Log().contains(QRegularExpression("(Received|Denied) PUBLISH from vp-web-")),
             "a page published");
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

QTEST_MAIN(TestWebPage)
#include "tst_web_page.moc"

// SPDX-License-Identifier: MIT
// The examples a site copies, checked against the tree they read: the Node-RED flow parses, its
// wires lead to nodes that exist, it subscribes only to topics the gateway publishes and reads
// online with the state's quality; the Telegraf configuration's topics are the tree's as well.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include "publish/publisher.h"

namespace {

QByteArray Read(const char* name) {
    QFile file(QStringLiteral(VP_EXAMPLES_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The leaf of a topic under a plant's prefix is one the gateway publishes.
bool InTree(const QString& filter) {
    const QString leaf = filter.section('/', 3);  // site1/vacuum/+/LEAF
    const vp::publish::Topics topics(QStringLiteral("p"));
    std::vector<std::string> all{topics.online, topics.state,  topics.stats,   topics.view,
                                 topics.meta,   topics.events, topics.pressure};
    all.insert(all.end(), topics.gauges.begin(), topics.gauges.end());
    for (const std::string& topic : all)
        if (QString::fromStdString(topic) == "p/" + leaf) return true;
    return false;
}

}  // namespace

class TestExamples : public QObject {
    Q_OBJECT

private slots:
    void nodeRedFlowIsWiredToTheTree() {
        QJsonParseError error;
        const QJsonDocument flow = QJsonDocument::fromJson(Read("node-red-flow.json"), &error);
        QVERIFY2(flow.isArray(), qPrintable(error.errorString()));
        QSet<QString> ids;
        for (const QJsonValue& node : flow.array()) ids << node["id"].toString();
        QSet<QString> leaves, fed;
        for (const QJsonValue& node : flow.array()) {
            for (const QJsonValue& output : node["wires"].toArray())
                for (const QJsonValue& target : output.toArray()) {
                    QVERIFY2(ids.contains(target.toString()), qPrintable(target.toString()));
                    fed << target.toString();
                }
            if (node["type"] != "mqtt in") continue;
            const QString topic = node["topic"].toString();
            QVERIFY2(InTree(topic), qPrintable(topic));
            QVERIFY(ids.contains(node["broker"].toString()));
            QCOMPARE(node["datatype"].toString(), "json");
            leaves << topic.section('/', 3);
        }
        // A reading is trusted only with the plant's online flag and quality beside it.
        QVERIFY(leaves.contains("online") && leaves.contains("state"));
        for (const QJsonValue& node : flow.array())
            if (node["type"] == "function") {
                QVERIFY(fed.contains(node["id"].toString()));
                QVERIFY(node["func"].toString().contains("quality === 'good'"));
            }
    }

    void telegrafReadsTheTree() {
        const QString conf = QString::fromUtf8(Read("telegraf.conf"));
        QVERIFY(!conf.isEmpty());
        const QRegularExpression topics(QStringLiteral("topics = \\[\"([^\"]+)\"\\]"));
        int count = 0;
        for (const auto& match : topics.globalMatch(conf)) {
            QVERIFY2(InTree(match.captured(1)), qPrintable(match.captured(1)));
            ++count;
        }
        QCOMPARE(count, 3);
    }
};

QTEST_GUILESS_MAIN(TestExamples)
#include "tst_examples.moc"

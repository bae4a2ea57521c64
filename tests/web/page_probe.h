// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

// Headless Chromium driven by page_probe.js: tabs opened by name, and what their pages hold read
// back as JSON.
class PageProbe {
public:
    ~PageProbe() { Stop(); }

    bool Start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NODE_PATH"), QStringLiteral(VP_NODE_MODULES));
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("node"), {QStringLiteral(VP_PAGE_PROBE)});
        return process_.waitForStarted() && Ask({}).isString();
    }
    void Stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000)) process_.kill();
        process_.waitForFinished();
    }

    // One command; its result, or null when it failed or no answer came in time.
    QJsonValue Ask(const QString& command) {
        if (!command.isEmpty()) process_.write(command.toUtf8() + "\n");
        const bool answered =
            QTest::qWaitFor([this] { return process_.canReadLine() || !Running(); }, 30000);
        if (!answered || !process_.canReadLine()) return QJsonValue();
        const QJsonObject answer = QJsonDocument::fromJson(process_.readLine()).object();
        if (!answer.value("ok").toBool()) qWarning() << "page probe:" << answer.value("error");
        return answer.value("result");
    }
    bool Open(const QString& tab, const QString& url) {
        return Ask("open " + tab + " " + url).toBool();
    }
    // Every element with an id, by id: its tag, text, fill and list entries.
    QJsonObject Elements(const QString& tab) {
        return Ask("snap " + tab).toObject().value("elements").toObject();
    }
    QString Banner(const QString& tab) {
        return Ask("snap " + tab).toObject().value("banner").toString();
    }
    QStringList Console(const QString& tab) {
        QStringList lines;
        for (const QJsonValue& v : Ask("console " + tab).toArray()) lines << v.toString();
        return lines;
    }

private:
    bool Running() const { return process_.state() == QProcess::Running; }
    QProcess process_;
};

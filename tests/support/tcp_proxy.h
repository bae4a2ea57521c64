// SPDX-License-Identifier: MIT
#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QVector>

// A TCP proxy on 127.0.0.1 in front of a broker, run by the test's own event loop, that plays the
// network's faults: it can stop forwarding without closing anything (a cable pulled, a host
// frozen: no FIN either way), cut every connection, and hold new ones until released.
class TcpProxy : public QObject {
public:
    explicit TcpProxy(quint16 upstreamPort) : upstreamPort_(upstreamPort) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
    }
    ~TcpProxy() override { Cut(); }

    quint16 port() const { return server_.serverPort(); }
    QString Url(const QString& prefix) const {
        return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port()).arg(prefix);
    }

    // Nothing is forwarded any more, and nothing closed.
    void Freeze() { frozen_ = true; }
    // Forwarding again; what either side closed meanwhile is closed on the other now.
    void Thaw() {
        frozen_ = false;
        for (Pair& p : pairs_) {
            if (p.client->state() != QAbstractSocket::ConnectedState) p.upstream->abort();
            if (p.upstream->state() != QAbstractSocket::ConnectedState) p.client->abort();
            Forward(p.client, p.upstream);
            Forward(p.upstream, p.client);
        }
    }
    // Every connection closed at once; later ones are forwarded as before unless held.
    void Cut() {
        for (Pair& p : pairs_) {
            p.client->abort();
            p.upstream->abort();
        }
        pairs_.clear();
    }
    // New connections are accepted and wait, unanswered, until Release.
    void Hold() { holding_ = true; }
    void Release() {
        holding_ = false;
        for (Pair& p : pairs_)
            if (p.upstream->state() == QAbstractSocket::UnconnectedState) Open(p);
    }
    // How many connections the broker's side closed: a broker that drops a session says so here.
    int closedByUpstream() const { return closedByUpstream_; }
    int connections() const { return int(pairs_.size()); }

private:
    struct Pair {
        QTcpSocket* client;
        QTcpSocket* upstream;
    };

    void Accept() {
        while (QTcpSocket* client = server_.nextPendingConnection()) {
            client->setParent(this);
            auto* upstream = new QTcpSocket(this);
            pairs_.push_back({client, upstream});
            QObject::connect(client, &QTcpSocket::readyRead, this,
                             [this, client, upstream] { Forward(client, upstream); });
            QObject::connect(upstream, &QTcpSocket::readyRead, this,
                             [this, client, upstream] { Forward(upstream, client); });
            QObject::connect(upstream, &QTcpSocket::connected, this,
                             [this, client, upstream] { Forward(client, upstream); });
            QObject::connect(upstream, &QTcpSocket::disconnected, this, [this, client] {
                ++closedByUpstream_;
                if (!frozen_) client->disconnectFromHost();
            });
            QObject::connect(client, &QTcpSocket::disconnected, this, [this, upstream] {
                if (!frozen_) upstream->disconnectFromHost();
            });
            if (!holding_) Open(pairs_.back());
        }
    }
    void Open(Pair& p) { p.upstream->connectToHost(QHostAddress::LocalHost, upstreamPort_); }
    void Forward(QTcpSocket* from, QTcpSocket* to) {
        if (frozen_ || to->state() != QAbstractSocket::ConnectedState) return;
        to->write(from->readAll());
    }

    quint16 upstreamPort_;
    QTcpServer server_;
    QVector<Pair> pairs_;
    bool frozen_ = false;
    bool holding_ = false;
    int closedByUpstream_ = 0;
};

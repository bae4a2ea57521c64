// SPDX-License-Identifier: MIT
#include "publish/broker_url.h"

#include <arpa/inet.h>

#include <QStringList>
#include <algorithm>

namespace vp::publish {
namespace {

// The URL as it may be shown: a refused URL is echoed, and whatever stands before an '@' may be a
// password. The last '@' is taken, as a password may hold one itself.
QString Shown(const QString& text) {
    const qsizetype start = text.indexOf(QStringLiteral("://"));
    const qsizetype at = text.lastIndexOf(u'@');
    if (start < 0 || at < start) return text;
    return text.left(start + 3) + QStringLiteral("***") + text.mid(at);
}

Failure Refuse(const QString& text, const QString& why) {
    const QString shown = Shown(text);
    // A password with a '/' in it lands in the host or port, which a reason quotes: not then.
    const QString reason = shown == text ? why : why.section(u'"', 0, 0).trimmed();
    return Fail(QStringLiteral("broker URL \"%1\": %2").arg(shown, reason));
}

// What the resolver takes: letters, digits, '-' and '_' (which sites use in their own names),
// dot-separated labels, and a final dot for a fully qualified name.
bool IsHostName(const QString& host) {
    const QString name = host.endsWith(u'.') ? host.chopped(1) : host;
    for (const QString& label : name.split(u'.')) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(u'-')) return false;
        for (const QChar c : label) {
            if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'-' && c != u'_')
                return false;
        }
    }
    return true;
}

// An IPv6 literal, with a zone for a link-local address (fe80::1%eth0) as the resolver takes it:
// an interface's name or number. Whether the interface is there is the connection's business.
bool IsIpv6(const QString& host) {
    const qsizetype percent = host.indexOf(u'%');
    const QString address = percent < 0 ? host : host.left(percent);
    if (percent >= 0) {
        const QString zone = host.mid(percent + 1);
        // IFNAMSIZ: 16 bytes with the NUL.
        if (zone.isEmpty() || zone.size() > 15) return false;
        for (const QChar c : zone) {
            if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || c == u'/' || c == u'%') return false;
        }
    }
    in6_addr parsed{};
    return inet_pton(AF_INET6, address.toLatin1().constData(), &parsed) == 1;
}

// Whether the prefix can be a topic root, and why not.
Result<> TakesPrefix(const QString& prefix) {
    if (prefix.isEmpty()) return Fail(QStringLiteral("no topic prefix after the host"));
    if (prefix.contains(u'+') || prefix.contains(u'#'))
        return Fail(QStringLiteral("the topic prefix may not hold the wildcards '+' or '#'"));
    if (prefix.startsWith(u'$'))
        return Fail(QStringLiteral("topics starting with '$' belong to the broker"));
    if (prefix.startsWith(u'/') || prefix.endsWith(u'/') || prefix.contains(QStringLiteral("//")))
        return Fail(QStringLiteral("the topic prefix has an empty level"));
    for (const QChar c : prefix) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return Fail(QStringLiteral("the topic prefix holds a control character"));
    }
    return {};
}

}  // namespace

Result<BrokerUrl> ParseBrokerUrl(const QString& text) {
    BrokerUrl url;
    QString rest;
    if (text.startsWith(QStringLiteral("mqtt://"))) {
        rest = text.mid(7);
    } else if (text.startsWith(QStringLiteral("mqtts://"))) {
        url.tls = true;
        url.port = 8883;
        rest = text.mid(8);
    } else {
        return Refuse(text, QStringLiteral("must start with mqtt:// or mqtts://"));
    }

    // A query would become part of the topic prefix; the broker's URL has none.
    if (rest.contains(u'?'))
        return Refuse(text, QStringLiteral("a broker URL takes no query ('?')"));
    const qsizetype slash = rest.indexOf(u'/');
    const QString authority = slash < 0 ? rest : rest.left(slash);
    url.prefix = slash < 0 ? QString() : rest.mid(slash + 1);
    if (authority.contains(u'@'))
        return Refuse(text,
                      QStringLiteral("no user or password in the URL; use a credentials file"));

    QString portText;
    bool hasPort = false;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0) return Refuse(text, QStringLiteral("unclosed '[' in the host"));
        url.host = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            return Refuse(text, QStringLiteral("unexpected text after ']'"));
        hasPort = !after.isEmpty();
        portText = after.mid(1);
        if (!IsIpv6(url.host)) return Refuse(text, QStringLiteral("bad IPv6 address"));
    } else {
        const qsizetype colon = authority.indexOf(u':');
        url.host = colon < 0 ? authority : authority.left(colon);
        hasPort = colon >= 0;
        portText = authority.mid(colon + 1);
        if (url.host.isEmpty()) return Refuse(text, QStringLiteral("no host"));
        if (!IsHostName(url.host))
            return Refuse(text, QStringLiteral("bad host name \"%1\"").arg(url.host));
    }
    if (hasPort) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        const bool digitsOnly =
            !portText.isEmpty() &&
            std::all_of(portText.begin(), portText.end(), [](QChar c) { return c.isDigit(); });
        if (!ok || !digitsOnly || port == 0 || port > 65535)
            return Refuse(text, QStringLiteral("bad port \"%1\"").arg(portText));
        url.port = static_cast<quint16>(port);
    }

    if (const Result<> prefix = TakesPrefix(url.prefix); !prefix.ok())
        return Refuse(text, prefix.error());
    return url;
}

}  // namespace vp::publish

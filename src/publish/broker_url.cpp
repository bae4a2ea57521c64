#include "publish/broker_url.h"

#include <arpa/inet.h>

#include <algorithm>

namespace vp::publish {
namespace {

std::optional<BrokerUrl> Refuse(const QString& text, const QString& why, QString* error) {
    if (error) *error = QStringLiteral("broker URL \"%1\": %2").arg(text, why);
    return std::nullopt;
}

bool IsHostName(const QString& host) {
    for (const QChar c : host) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'.' && c != u'-') return false;
    }
    return !host.isEmpty() && !host.startsWith(u'.') && !host.startsWith(u'-');
}

bool IsIpv6(const QString& host) {
    in6_addr address{};
    return inet_pton(AF_INET6, host.toLatin1().constData(), &address) == 1;
}

// Why the prefix cannot be a topic root, or an empty string when it can.
QString PrefixFault(const QString& prefix) {
    if (prefix.isEmpty()) return QStringLiteral("no topic prefix after the host");
    if (prefix.contains(u'+') || prefix.contains(u'#'))
        return QStringLiteral("the topic prefix may not hold the wildcards '+' or '#'");
    if (prefix.startsWith(u'$'))
        return QStringLiteral("topics starting with '$' belong to the broker");
    if (prefix.startsWith(u'/') || prefix.endsWith(u'/') || prefix.contains(QStringLiteral("//")))
        return QStringLiteral("the topic prefix has an empty level");
    for (const QChar c : prefix) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("the topic prefix holds a control character");
    }
    return {};
}

}  // namespace

std::optional<BrokerUrl> ParseBrokerUrl(const QString& text, QString* error) {
    BrokerUrl url;
    QString rest;
    if (text.startsWith(QStringLiteral("mqtt://"))) {
        rest = text.mid(7);
    } else if (text.startsWith(QStringLiteral("mqtts://"))) {
        url.tls = true;
        url.port = 8883;
        rest = text.mid(8);
    } else {
        return Refuse(text, QStringLiteral("must start with mqtt:// or mqtts://"), error);
    }

    const qsizetype slash = rest.indexOf(u'/');
    const QString authority = slash < 0 ? rest : rest.left(slash);
    url.prefix = slash < 0 ? QString() : rest.mid(slash + 1);
    if (authority.contains(u'@'))
        return Refuse(
            text, QStringLiteral("no user or password in the URL; use a credentials file"), error);

    QString portText;
    bool hasPort = false;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0) return Refuse(text, QStringLiteral("unclosed '[' in the host"), error);
        url.host = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            return Refuse(text, QStringLiteral("unexpected text after ']'"), error);
        hasPort = !after.isEmpty();
        portText = after.mid(1);
        if (!IsIpv6(url.host)) return Refuse(text, QStringLiteral("bad IPv6 address"), error);
    } else {
        const qsizetype colon = authority.indexOf(u':');
        url.host = colon < 0 ? authority : authority.left(colon);
        hasPort = colon >= 0;
        portText = authority.mid(colon + 1);
        if (url.host.isEmpty()) return Refuse(text, QStringLiteral("no host"), error);
        if (!IsHostName(url.host))
            return Refuse(text, QStringLiteral("bad host name \"%1\"").arg(url.host), error);
    }
    if (hasPort) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        const bool digitsOnly =
            !portText.isEmpty() &&
            std::all_of(portText.begin(), portText.end(), [](QChar c) { return c.isDigit(); });
        if (!ok || !digitsOnly || port == 0 || port > 65535)
            return Refuse(text, QStringLiteral("bad port \"%1\"").arg(portText), error);
        url.port = static_cast<quint16>(port);
    }

    const QString fault = PrefixFault(url.prefix);
    if (!fault.isEmpty()) return Refuse(text, fault, error);
    return url;
}

}  // namespace vp::publish

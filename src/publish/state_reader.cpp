#include "publish/state_reader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>
#include <deque>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "publish/payloads.h"

namespace vp::publish {

namespace {

using state::Fill;
using state::List;
using state::PanelState;
using state::Text;

// A caption longer than any the controller can cause; it bounds what one payload may write.
constexpr qsizetype kMaxText = 4 * 1024;
constexpr qint64 kMaxCount = std::numeric_limits<std::int32_t>::max();

// Everything a payload writes, read and checked in full before any of it is applied.
struct Staged {
    std::vector<std::pair<Fill, state::ColourValue>> fills;
    std::vector<std::pair<Text, std::string>> texts;
    std::vector<std::pair<List, std::deque<std::string>>> lists;
    std::optional<state::LinkFacts> link;
    std::optional<std::int32_t> crcErrors, operationErrors;
};

template <typename Id, std::size_t Count>
std::optional<Id> IdOf(const QString& name) {
    for (std::size_t i = 0; i < Count; ++i)
        if (name == QLatin1StringView(state::Name(static_cast<Id>(i)))) return static_cast<Id>(i);
    return std::nullopt;
}

std::optional<qint64> Integer(const QJsonValue& value, qint64 max) {
    if (!value.isDouble()) return std::nullopt;
    const double number = value.toDouble();
    if (!(number >= 0 && number <= static_cast<double>(max)) || number != std::floor(number))
        return std::nullopt;
    return static_cast<qint64>(number);
}

// The bytes of a Latin-1 text, as the panel keeps them; nullopt for anything else.
std::optional<std::string> Latin1Text(const QJsonValue& value) {
    if (!value.isString()) return std::nullopt;
    const QString text = value.toString();
    if (text.size() > kMaxText) return std::nullopt;
    for (QChar c : text)
        if (c.unicode() > 0xFF) return std::nullopt;
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

using Refusal = std::optional<QString>;

// The refusal is one line on standard error, whatever the name holds.
Refusal Unknown(const char* what, const QString& name) {
    QString shown = name.left(40);
    for (QChar& c : shown)
        if (!c.isPrint()) c = u'?';
    return QStringLiteral("unknown %1 \"%2\"").arg(QLatin1StringView(what), shown);
}

Refusal ReadFills(const QJsonObject& fills, Staged& staged) {
    for (auto it = fills.begin(); it != fills.end(); ++it) {
        const auto id = IdOf<Fill, state::kFillCount>(it.key());
        if (!id || !Published(*id)) return Unknown("fill", it.key());
        const auto value = Integer(it.value(), std::numeric_limits<state::ColourValue>::max());
        if (!value) return QStringLiteral("fill %1 is not a colour value").arg(it.key());
        staged.fills.emplace_back(*id, static_cast<state::ColourValue>(*value));
    }
    return {};
}

Refusal ReadTexts(const QJsonObject& texts, Staged& staged) {
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        const auto id = IdOf<Text, state::kTextCount>(it.key());
        if (!id) return Unknown("text", it.key());
        auto text = Latin1Text(it.value());
        if (!text)
            return QStringLiteral("text %1 is not a Latin-1 string of at most 4 KiB").arg(it.key());
        staged.texts.emplace_back(*id, std::move(*text));
    }
    return {};
}

Refusal ReadLists(const QJsonObject& lists, Staged& staged) {
    for (auto it = lists.begin(); it != lists.end(); ++it) {
        const auto id = IdOf<List, state::kListCount>(it.key());
        if (!id) return Unknown("list", it.key());
        const QJsonArray array = it.value().toArray();
        const Refusal bad = QStringLiteral("list %1 is not an array of at most %2 Latin-1 strings")
                                .arg(it.key())
                                .arg(PanelState::kListLength);
        if (!it.value().isArray() ||
            static_cast<std::size_t>(array.size()) > PanelState::kListLength)
            return bad;
        std::deque<std::string> entries;
        for (const QJsonValue& value : array) {
            auto entry = Latin1Text(value);
            if (!entry) return bad;
            entries.push_back(std::move(*entry));
        }
        staged.lists.emplace_back(*id, std::move(entries));
    }
    return {};
}

Refusal ReadLink(const QJsonValue& value, Staged& staged) {
    if (value.isUndefined() || value.isNull()) return {};
    const QJsonObject link = value.toObject();
    const auto sent = Integer(link["sent"], kMaxCount),
               received = Integer(link["received"], kMaxCount);
    if (!value.isObject() || !link["connected"].isBool() || !link["stale"].isBool() || !sent ||
        !received)
        return QStringLiteral("link is not connected, stale, sent and received");
    staged.link = state::LinkFacts{.connected = link["connected"].toBool(),
                                   .stale = link["stale"].toBool(),
                                   .sent = static_cast<std::int32_t>(*sent),
                                   .received = static_cast<std::int32_t>(*received)};
    return {};
}

Refusal ReadCounts(const QJsonValue& value, Staged& staged) {
    if (!value.isObject()) return {};  // the meaning is the publisher's business
    const QJsonObject errors = value.toObject();
    const auto read = [&](const char* key, std::optional<std::int32_t>& count) -> Refusal {
        const QJsonValue field = errors[QLatin1StringView(key)];
        if (field.isUndefined()) return {};
        const auto number = Integer(field, kMaxCount);
        if (!number) return QStringLiteral("errors.%1 is not a count").arg(QLatin1StringView(key));
        count = static_cast<std::int32_t>(*number);
        return {};
    };
    if (Refusal refusal = read("crc", staged.crcErrors)) return refusal;
    return read("operation", staged.operationErrors);
}

Refusal Read(QByteArrayView payload, Staged& staged) {
    if (payload.size() > kMaxStatePayload)
        return QStringLiteral("payload of %1 bytes is larger than %2")
            .arg(payload.size())
            .arg(kMaxStatePayload);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON: %1 at offset %2")
            .arg(error.errorString())
            .arg(error.offset);
    if (!document.isObject()) return QStringLiteral("not a JSON object");
    const QJsonObject root = document.object();
    const QJsonValue panel = root["panel"];
    if (!panel.isObject()) return QStringLiteral("no \"panel\" object");
    const QJsonObject sections = panel.toObject();
    for (const char* key : {"fills", "texts", "lists"}) {
        const QJsonValue section = sections[QLatin1StringView(key)];
        if (!section.isUndefined() && !section.isObject())
            return QStringLiteral("panel.%1 is not an object").arg(QLatin1StringView(key));
    }
    if (Refusal r = ReadFills(sections["fills"].toObject(), staged)) return r;
    if (Refusal r = ReadTexts(sections["texts"].toObject(), staged)) return r;
    if (Refusal r = ReadLists(sections["lists"].toObject(), staged)) return r;
    if (Refusal r = ReadLink(root["link"], staged)) return r;
    return ReadCounts(root["errors"], staged);
}

void Apply(PanelState& state, Staged& staged) {
    for (const auto& [id, value] : staged.fills) state.SetFill(id, value);
    for (const auto& [id, text] : staged.texts) state.SetCaption(id, text);
    // Replaced whole, and only when different, so an unchanged state causes no redraw.
    for (auto& [id, entries] : staged.lists) {
        if (state.RevisionOf(id) != 0 && state.Entries(id) == entries) continue;
        state.ClearList(id);
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) state.InsertTop(id, *it);
    }
    if (staged.crcErrors) state.CrcErrorCount.Set(*staged.crcErrors);
    if (staged.operationErrors) state.OperationErrorCount.Set(*staged.operationErrors);
    if (staged.link && *staged.link != state.Link) {
        state.Link = *staged.link;
        state.NoteFacts();
    }
}

}  // namespace

std::optional<QString> ApplyStateJson(PanelState& state, QByteArrayView payload) {
    Staged staged;
    if (Refusal refusal = Read(payload, staged)) return refusal;
    Apply(state, staged);
    return std::nullopt;
}

}  // namespace vp::publish

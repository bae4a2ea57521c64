// SPDX-License-Identifier: MIT
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

// Everything a payload writes, read and checked in full before any of it is applied.
struct Staged {
    std::vector<std::pair<Fill, state::ColourValue>> fills;
    std::vector<std::pair<Text, std::string>> texts;
    std::vector<std::pair<List, std::deque<std::string>>> lists;
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

using Refusal = Result<>;

// The refusal is one line on standard error, whatever the name holds.
Refusal Unknown(const char* what, const QString& name) {
    QString shown = name.left(40);
    for (QChar& c : shown)
        if (!c.isPrint()) c = u'?';
    return Fail(QStringLiteral("unknown %1 \"%2\"").arg(QLatin1StringView(what), shown));
}

Refusal ReadFills(const QJsonObject& fills, Staged& staged) {
    for (auto it = fills.begin(); it != fills.end(); ++it) {
        const auto id = IdOf<Fill, state::kFillCount>(it.key());
        if (!id || !Published(*id)) return Unknown("fill", it.key());
        const auto value = Integer(it.value(), std::numeric_limits<state::ColourValue>::max());
        if (!value) return Fail(QStringLiteral("fill %1 is not a colour value").arg(it.key()));
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
            return Fail(
                QStringLiteral("text %1 is not a Latin-1 string of at most 4 KiB").arg(it.key()));
        staged.texts.emplace_back(*id, std::move(*text));
    }
    return {};
}

Refusal ReadLists(const QJsonObject& lists, Staged& staged) {
    for (auto it = lists.begin(); it != lists.end(); ++it) {
        const auto id = IdOf<List, state::kListCount>(it.key());
        if (!id) return Unknown("list", it.key());
        const QJsonArray array = it.value().toArray();
        const Failure bad =
            Fail(QStringLiteral("list %1 is not an array of at most %2 Latin-1 strings")
                     .arg(it.key())
                     .arg(PanelState::kListLength));
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

// The payload as one JSON object of the tree's version, or why not.
Refusal Parse(QByteArrayView payload, QJsonObject& root) {
    if (payload.size() > kMaxStatePayload)
        return Fail(QStringLiteral("payload of %1 bytes is larger than %2")
                        .arg(payload.size())
                        .arg(kMaxStatePayload));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError)
        return Fail(
            QStringLiteral("not JSON: %1 at offset %2").arg(error.errorString()).arg(error.offset));
    if (!document.isObject()) return Fail(QStringLiteral("not a JSON object"));
    root = document.object();
    const QJsonValue schema = root["schema"];
    if (!schema.isDouble() || schema.toDouble() != kSchema)
        return Fail(QStringLiteral("not of schema %1").arg(kSchema));
    return {};
}

Refusal Read(QByteArrayView payload, Staged& staged) {
    QJsonObject root;
    if (Refusal r = Parse(payload, root); !r.ok()) return r;
    for (const char* key : {"fills", "texts", "lists"}) {
        const QJsonValue section = root[QLatin1StringView(key)];
        if (!section.isUndefined() && !section.isObject())
            return Fail(QStringLiteral("%1 is not an object").arg(QLatin1StringView(key)));
    }
    if (Refusal r = ReadFills(root["fills"].toObject(), staged); !r.ok()) return r;
    if (Refusal r = ReadTexts(root["texts"].toObject(), staged); !r.ok()) return r;
    return ReadLists(root["lists"].toObject(), staged);
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
}

}  // namespace

Result<> ApplyViewJson(PanelState& state, QByteArrayView payload) {
    Staged staged;
    if (Refusal refusal = Read(payload, staged); !refusal.ok()) return refusal;
    Apply(state, staged);
    return {};
}

Result<PlantSummary> ReadStateJson(QByteArrayView payload) {
    QJsonObject root;
    if (Refusal r = Parse(payload, root); !r.ok()) return Fail(r.error());
    const QJsonValue word = root["quality"];
    std::optional<state::Quality> quality;
    for (auto q : {state::Quality::Starting, state::Quality::Good, state::Quality::Stale,
                   state::Quality::Disconnected, state::Quality::Offline})
        if (word.isString() && word.toString() == QLatin1StringView(state::QualityWord(q)))
            quality = q;
    if (!quality) return Fail(QStringLiteral("quality is not one of the five words"));
    const QJsonValue link = root["link"];
    const QJsonObject facts = link.toObject();
    if (!link.isObject() || !facts["connected"].isBool() || !facts["stale"].isBool())
        return Fail(QStringLiteral("link is not connected and stale"));
    return PlantSummary{.quality = *quality,
                        .connected = facts["connected"].toBool(),
                        .stale = facts["stale"].toBool()};
}

}  // namespace vp::publish

// SPDX-License-Identifier: MIT
#include "publish/meta.h"

#include <QJsonArray>
#include <functional>
#include <string_view>

#include "protocol/result_codes.h"
#include "publish/payloads.h"
#include "state/plant_status.h"

namespace vp::publish {

namespace {

QJsonArray Names(const auto& names) {
    QJsonArray array;
    for (const char* name : names) array.append(name);
    return array;
}

// Every code of one byte that the table knows, with its text; `unknown` is the table's word for
// a code outside it.
QJsonArray Table(const std::function<std::string_view(int)>& text, std::string_view unknown = {}) {
    QJsonArray rows;
    for (int code = 1; code < 256; ++code) {
        std::string_view words = text(code);
        if (words.empty() || words == unknown) continue;
        // The warnings' texts come as the list shows them: " (OP_...)".
        if (words.starts_with(" (") && words.ends_with(')'))
            words = words.substr(2, words.size() - 3);
        rows.append(QJsonObject{
            {"code", code},
            {"text", QString::fromLatin1(words.data(), static_cast<qsizetype>(words.size()))}});
    }
    return rows;
}

QJsonObject Topic(const char* retained, const char* payload, const char* unit = nullptr) {
    QJsonObject topic{{"retained", QLatin1StringView(retained) == "yes"}, {"payload", payload}};
    topic["unit"] = unit ? QJsonValue(unit) : QJsonValue();
    return topic;
}

}  // namespace

QJsonObject MetaObject(const QString& version, const QString& run) {
    QJsonObject topics{
        {"online", Topic("yes", "true or false")},
        {"state", Topic("yes", "the plant's meaning, its time and quality")},
        {"stats", Topic("yes", "uptime and message counters", "s")},
        {"view", Topic("yes", "the window's fills, captions and lists")},
        {"meta", Topic("yes", "this description")},
        {"events", Topic("no", "one list entry with its code and seq")},
        {"pressure", Topic("no", "the four pressures at the log tick", "mbar")},
    };
    for (const char* gauge : kGaugeNames)
        topics[QStringLiteral("gauge/") + gauge] = Topic("yes", "a number or null", "mbar");
    return {
        {"schema", kSchema},
        {"version", version},
        {"run", run},
        {"topics", topics},
        {"gauges", Names(kGaugeNames)},
        {"valves", Names(kValveNames)},
        {"pumps", Names(std::array{kTmpNames[0], kTmpNames[1], "rotary"})},
        {"codes",
         QJsonObject{
             {"results", Table(protocol::ResultText)},
             {"warnings", Table(protocol::WarningText)},
             {"valves", Table(state::ValveWord, "error")},
             {"pumps", Table(state::TmpWord, "error")},
             {"rotary", Table(state::RotaryWord, "error")},
             {"modes", Table(state::ModeName)},
             {"branches", Table(state::BranchWord)},
         }},
    };
}

}  // namespace vp::publish

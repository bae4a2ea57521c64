// SPDX-License-Identifier: MIT
#include "publish/payloads.h"

#include <QJsonArray>
#include <QJsonValue>
#include <charconv>
#include <cmath>

#include "protocol/codes.h"
#include "protocol/message_kind.h"
#include "protocol/result_codes.h"
#include "protocol/status_report.h"
#include "publish/json_text.h"
#include "state/plant_status.h"
#include "text/number_reader.h"

namespace vp::publish {

namespace {

using protocol::StatusReport;
using state::PanelState;
using state::Quality;

QString Latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A word of a code table; null where the code is outside it.
QJsonValue Word(std::string_view word) {
    return word.empty() ? QJsonValue() : QJsonValue(Latin1(word));
}

// Read and counted numbers are floating point wherever they come from, so a field keeps its type.
QJsonValue Number(const std::optional<double>& value) {
    return value ? Float(*value) : QJsonValue();
}

// A three-character speed field: a whole percent, null when the controller sent no digit ("---").
QJsonValue Percent(std::string_view field) {
    if (field.find_first_of("0123456789") == field.npos) return {};
    return static_cast<qint64>(text::LeadingNumber(field));
}

QJsonObject Gauges(const StatusReport& report, const Pressures& pressures) {
    QJsonObject gauges;
    for (std::size_t g = 0; g < report.gauges.size(); ++g) {
        const protocol::GaugeField& gauge = report.gauges[g];
        gauges[kGaugeNames[g]] = QJsonObject{
            {"state", Word(protocol::ResultText(gauge.state))},
            {"code", gauge.state},
            {"mbar", Number(pressures[g])},
        };
    }
    return gauges;
}

QJsonObject Valves(const StatusReport& report) {
    QJsonObject valves;
    for (std::size_t v = 0; v < report.valves.size(); ++v)
        valves[kValveNames[v]] = Latin1(state::ValveWord(report.valves[v]));
    return valves;
}

QJsonObject Pumps(const StatusReport& report, const state::PlantFacts& plant) {
    QJsonObject pumps;
    for (std::size_t t = 0; t < report.tmps.size(); ++t) {
        const protocol::TmpField& tmp = report.tmps[t];
        const std::string_view speed = tmp.speed;  // "100/100"
        pumps[kTmpNames[t]] = QJsonObject{
            {"state", Latin1(state::TmpWord(tmp.state))},
            {"code", tmp.state},
            {"speed_percent",
             QJsonArray{Percent(speed.substr(0, 3)),
                        Percent(speed.substr(std::min<std::size_t>(4, speed.size())))}},
            {"hours", Number(plant.tmpHours[t])},
        };
    }
    pumps["rotary"] =
        QJsonObject{{"state", Latin1(state::RotaryWord(report.rotary))}, {"code", report.rotary}};
    return pumps;
}

// Counts are whole, whatever the controller's text held.
QJsonValue Count(const std::optional<double>& value) {
    return value ? QJsonValue(static_cast<qint64>(*value)) : QJsonValue();
}

QJsonObject Errors(const PanelState& state) {
    const state::PlantFacts& plant = state.Plant();
    QJsonObject tmp, gauges;
    for (std::size_t t = 0; t < plant.tmpErrors.size(); ++t)
        tmp[kTmpNames[t]] = Count(plant.tmpErrors[t]);
    for (std::size_t g = 0; g < plant.gaugeErrors.size(); ++g)
        gauges[kGaugeNames[g]] = Count(plant.gaugeErrors[g]);
    QJsonArray icpcon;
    for (const auto& count : plant.icpconErrors) icpcon.append(Count(count));
    return {{"crc", state.CrcErrors()},
            {"operation", state.OperationErrors()},
            {"tmp", tmp},
            {"gauges", gauges},
            {"icpcon", icpcon}};
}

// What a remote view applies: every control the panel has written, so that the view shows exactly
// what the panel shows, captions left standing by a code outside its table included.
QJsonObject Panel(const PanelState& state) {
    QJsonObject fills, texts, lists;
    for (std::size_t i = 0; i < state::kFillCount; ++i) {
        const auto id = static_cast<state::Fill>(i);
        if (Published(id) && state.Known(id))
            fills[state::Name(id)] = static_cast<qint64>(state.FillOf(id));
    }
    for (std::size_t i = 0; i < state::kTextCount; ++i) {
        const auto id = static_cast<state::Text>(i);
        if (state.Known(id)) texts[state::Name(id)] = Latin1(state.Caption(id));
    }
    for (std::size_t i = 0; i < state::kListCount; ++i) {
        const auto id = static_cast<state::List>(i);
        QJsonArray entries;
        for (const std::string& entry : state.Entries(id)) entries.append(Latin1(entry));
        lists[state::Name(id)] = entries;
    }
    return {{"fills", fills}, {"texts", texts}, {"lists", lists}};
}

const char* ListName(state::List list) {
    switch (list) {
        case state::List::lstErrors:
            return "errors";
        case state::List::lstWarnings:
            return "warnings";
        case state::List::lstMessages:
            break;
    }
    return "messages";
}

}  // namespace

bool Published(state::Fill id) {
    return id != state::Fill::shpSend && id != state::Fill::shpRecv;
}

Pressures CurrentPressures(const PanelState& state, Quality quality) {
    Pressures pressures{};
    const std::optional<StatusReport>& report = state.Plant().report;
    if (!report || quality != Quality::Good) return pressures;
    for (std::size_t g = 0; g < pressures.size(); ++g)
        if (report->gauges[g].state == protocol::ResultCode::Ok)
            pressures[g] = PressureMbar(report->gauges[g].pressureText);
    return pressures;
}

QJsonObject StateObject(const PanelState& state, Quality quality, std::int64_t reportUtcMs) {
    QJsonObject object;
    object["schema"] = kSchema;
    object["time"] = reportUtcMs
                         ? QJsonValue(IsoUtc(QDateTime::fromMSecsSinceEpoch(reportUtcMs, Qt::UTC)))
                         : QJsonValue();
    object["quality"] = state::QualityWord(quality);
    const std::optional<StatusReport>& report = state.Plant().report;
    const QJsonValue none;
    object["gauges"] =
        report ? QJsonValue(Gauges(*report, CurrentPressures(state, quality))) : none;
    object["valves"] = report ? QJsonValue(Valves(*report)) : none;
    object["pumps"] = report ? QJsonValue(Pumps(*report, state.Plant())) : none;
    if (report) {
        object["mode"] = QJsonObject{{"current", Word(state::ModeName(report->currentMode))},
                                     {"current_code", report->currentMode},
                                     {"requested", Word(state::ModeName(report->requestedMode))},
                                     {"requested_code", report->requestedMode}};
        object["mode_speeds_percent"] =
            QJsonObject{{"glow_discharge", Percent(report->glowDischargeSpeed)},
                        {"high_vacuum", Percent(report->highVacuumSpeed)}};
        object["branches"] = QJsonObject{{"1", Word(state::BranchWord(report->branch1))},
                                         {"2", Word(state::BranchWord(report->branch2))}};
        object["conditions"] =
            QJsonObject{{"pneumatics_ok", state::PneumaticsOk(report->pneumatics)},
                        {"tmp_cooling_ok", state::TmpCoolingOk(report->tmpCooling)}};
    } else {
        for (const char* key : {"mode", "mode_speeds_percent", "branches", "conditions"})
            object[key] = none;
    }
    object["errors"] = Errors(state);
    object["link"] =
        QJsonObject{{"connected", state.Link().connected}, {"stale", state.Link().stale}};
    return object;
}

QJsonObject ViewObject(const PanelState& state) {
    QJsonObject object = Panel(state);
    object["schema"] = kSchema;
    return object;
}

QJsonObject StatsObject(const PanelState& state) {
    const std::optional<StatusReport>& report = state.Plant().report;
    // "3600s": whole seconds as the controller counts them.
    const QJsonValue uptime =
        report ? QJsonValue(static_cast<qint64>(text::LeadingNumber(report->uptimeText)))
               : QJsonValue();
    return {{"schema", kSchema},
            {"uptime_s", uptime},
            {"sent", state.Link().sent},
            {"received", state.Link().received}};
}

QByteArray Compact(const QJsonObject& object) {
    return JsonText(object);
}

QByteArray GaugeJson(std::optional<double> mbar) {
    return mbar ? FloatText(*mbar) : QByteArrayLiteral("null");
}

QByteArray EventJson(const QDateTime& utc, std::int64_t seq, state::List list,
                     std::string_view entry, std::string_view raw) {
    // Errors carry their result code, warnings their kind; a plain message has none.
    const protocol::Classification c = protocol::Classify(raw);
    QJsonValue code;
    if (list == state::List::lstErrors) code = c.resultCode;
    if (list == state::List::lstWarnings) code = c.kind;
    // The list pads a warning's number as the window shows it; the network wants the words.
    const auto first = entry.find_first_not_of(' ');
    entry.remove_prefix(first == entry.npos ? entry.size() : first);
    return Compact({{"time", IsoUtc(utc)},
                    {"seq", static_cast<qint64>(seq)},
                    {"list", ListName(list)},
                    {"code", code},
                    {"text", Latin1(entry)},
                    {"raw", Latin1(raw)}});
}

QByteArray PressureJson(const QDateTime& utc, const Pressures& pressures) {
    QJsonObject gauges;
    for (std::size_t g = 0; g < pressures.size(); ++g)
        gauges[kGaugeNames[g]] = Number(pressures[g]);
    return Compact({{"time", IsoUtc(utc)}, {"unit", "mbar"}, {"gauges", gauges}});
}

std::optional<double> PressureMbar(std::string_view text) {
    // The report puts a blank where the exponent is positive; from_chars wants it bare.
    std::string number(text);
    if (const auto e = number.find_first_of("Ee");
        e != number.npos && e + 1 < number.size() && number[e + 1] == ' ')
        number.erase(e + 1, 1);
    double value = 0;
    const char* end = number.data() + number.size();
    const auto [last, error] = std::from_chars(number.data(), end, value);
    if (error != std::errc() || last != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

QString IsoUtc(const QDateTime& utc) {
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
}

}  // namespace vp::publish

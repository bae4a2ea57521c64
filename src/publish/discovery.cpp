// SPDX-License-Identifier: MIT
#include "publish/discovery.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include "publish/payloads.h"
#include "publish/publisher.h"

namespace vp::publish {

namespace {

struct Entity {
    QString object;  // the config topic's object id, and the unique id's tail
    QString name;
    QJsonObject fields;  // state_topic, value_template and what the kind of entity wants
    bool plant = true;   // false: the link's own quality, shown whatever it says
};

QJsonArray Words(std::initializer_list<const char*> words) {
    QJsonArray array;
    for (const char* word : words) array.append(word);
    return array;
}

// An enum sensor on a field of the state; null (a section not yet reported) reads as unknown.
QJsonObject FromState(const Topics& topics, const QString& field, const QJsonArray& options) {
    const QString section = field.left(field.indexOf(QRegularExpression("[.\\[]")));
    return {{"state_topic", QString::fromStdString(topics.state)},
            {"value_template",
             QStringLiteral("{{ value_json.%1 if value_json.%2 else None }}").arg(field, section)},
            {"device_class", "enum"},
            {"options", options}};
}

std::vector<Entity> Entities(const Topics& topics) {
    std::vector<Entity> entities;
    for (std::size_t g = 0; g < kGaugeNames.size(); ++g) {
        const QString gauge = kGaugeNames[g];
        entities.push_back({"pressure_" + gauge, "Pressure " + gauge,
                            QJsonObject{{"state_topic", QString::fromStdString(topics.gauges[g])},
                                        {"value_template", "{{ value_json }}"},
                                        {"device_class", "pressure"},
                                        {"unit_of_measurement", "mbar"},
                                        {"state_class", "measurement"}}});
    }
    for (const char* valve : kValveNames)
        entities.push_back({QStringLiteral("valve_") + valve, QStringLiteral("Valve ") + valve,
                            FromState(topics, QStringLiteral("valves['%1']").arg(valve),
                                      Words({"closed", "open", "error"}))});
    for (const char* tmp : kTmpNames)
        entities.push_back(
            {QStringLiteral("pump_") + tmp, QStringLiteral("Pump ") + tmp,
             FromState(topics, QStringLiteral("pumps.%1.state").arg(tmp),
                       Words({"stopped", "stopping", "accelerating", "started", "error"}))});
    entities.push_back({"pump_rotary", "Rotary pump",
                        FromState(topics, "pumps.rotary.state",
                                  Words({"stopped", "started", "tripped", "error"}))});
    entities.push_back({"mode", "Mode",
                        FromState(topics, "mode.current",
                                  Words({"Idle mode", "High vacuum", "Primary vacuum",
                                         "Unsafe mode", "Stop", "Glow discharge"}))});
    entities.push_back(
        {"quality", "Link quality",
         QJsonObject{{"state_topic", QString::fromStdString(topics.state)},
                     {"value_template", "{{ value_json.quality }}"},
                     {"device_class", "enum"},
                     {"options", Words({"starting", "good", "stale", "disconnected", "offline"})},
                     {"entity_category", "diagnostic"}},
         false});
    return entities;
}

QString ConfigTopic(const QString& discoveryPrefix, const QString& node, const Entity& entity) {
    return QStringLiteral("%1/sensor/%2/%3/config").arg(discoveryPrefix, node, entity.object);
}

}  // namespace

QString NodeId(const QString& plantPrefix) {
    QString node;
    for (QChar c : plantPrefix)
        node += (c.isLetterOrNumber() && c.unicode() < 128) || c == '-' ? c : QChar('_');
    return node;
}

std::vector<MqttClient::Message> DiscoveryConfigs(const QString& discoveryPrefix,
                                                  const QString& plantPrefix,
                                                  const QString& version) {
    const Topics topics(plantPrefix);
    const QString node = NodeId(plantPrefix);
    const QJsonObject online{{"topic", QString::fromStdString(topics.online)},
                             {"payload_available", QString::fromLatin1(Publisher::kOnline)},
                             {"payload_not_available", QString::fromLatin1(Publisher::kOffline)}};
    const QJsonObject good{
        {"topic", QString::fromStdString(topics.state)},
        {"value_template", "{{ 'true' if value_json.quality == 'good' else 'false' }}"},
        {"payload_available", "true"},
        {"payload_not_available", "false"}};
    const QJsonObject device{{"identifiers", QJsonArray{"vacuum-panel_" + node}},
                             {"name", plantPrefix},
                             {"model", "vacuum-panel gateway"},
                             {"manufacturer", "vacuum-panel"},
                             {"sw_version", version}};
    std::vector<MqttClient::Message> configs;
    for (const Entity& entity : Entities(topics)) {
        QJsonObject config = entity.fields;
        config["name"] = entity.name;
        config["unique_id"] = node + '_' + entity.object;
        config["availability"] = entity.plant ? QJsonArray{online, good} : QJsonArray{online};
        config["availability_mode"] = "all";
        config["device"] = device;
        config["origin"] = QJsonObject{{"name", "vacuum-panel"}, {"sw_version", version}};
        configs.push_back(
            {ConfigTopic(discoveryPrefix, node, entity).toStdString(), Compact(config), 1, true});
    }
    return configs;
}

std::vector<MqttClient::Message> DiscoveryRemovals(const QString& discoveryPrefix,
                                                   const QString& plantPrefix) {
    std::vector<MqttClient::Message> removals;
    const QString node = NodeId(plantPrefix);
    for (const Entity& entity : Entities(Topics(plantPrefix)))
        removals.push_back(
            {ConfigTopic(discoveryPrefix, node, entity).toStdString(), QByteArray(), 1, true});
    return removals;
}

}  // namespace vp::publish

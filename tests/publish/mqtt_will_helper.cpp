// Connects with a retained will "false" on <topic>, says "connected" and waits to be killed.
#include <QCoreApplication>
#include <cstdio>

#include "publish/mqtt_client.h"

using vp::publish::MqttClient;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    MqttClient::Options options;
    const auto url = vp::publish::ParseBrokerUrl(QString::fromLocal8Bit(argv[1]), nullptr);
    if (!url) return 2;
    options.url = *url;
    options.will = MqttClient::Will{argv[2], "false", 1, true};
    MqttClient client(options);
    QObject::connect(&client, &MqttClient::Connected, [] {
        std::puts("connected");
        std::fflush(stdout);
    });
    if (!client.Start(nullptr)) return 1;
    return app.exec();
}

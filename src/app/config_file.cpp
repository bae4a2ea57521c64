// SPDX-License-Identifier: MIT
#include "app/config_file.h"

#include <sys/stat.h>

#include <QFile>
#include <QHash>
#include <QSettings>
#include <array>

#include "link/port_defaults.h"
#include "publish/broker_url.h"
#include "publish/credentials.h"
#include "publish/tls_files.h"

namespace vp::app {

namespace {

// A plant's few lines; anything much bigger was not meant as one.
constexpr qint64 kMaxFileSize = 64 * 1024;

enum class Check { Text, Url, Credentials, Ca, Certificate, Key };

struct Key {
    const char* name;
    const char* option;  // the command-line option it stands for; null for none
    Check check;
};

constexpr std::array kKeys{
    Key{"device", "port", Check::Text},
    Key{"publish", "publish", Check::Url},
    Key{"mqtt-credentials", "mqtt-credentials", Check::Credentials},
    Key{"mqtt-ca", "mqtt-ca", Check::Ca},
    Key{"mqtt-cert", "mqtt-cert", Check::Certificate},
    Key{"mqtt-key", "mqtt-key", Check::Key},
    Key{"log-folder", nullptr, Check::Text},
    Key{"record", "record", Check::Text},
};

const Key* Known(const QString& name) {
    for (const Key& key : kKeys)
        if (name == QLatin1String(key.name)) return &key;
    return nullptr;
}

Result<> Usable(const QString& value, Check check) {
    if (value.isEmpty()) return vp::Fail(QStringLiteral("empty value"));
    switch (check) {
        case Check::Text:
            return {};
        case Check::Url:
            if (const auto url = publish::ParseBrokerUrl(value); !url.ok())
                return vp::Fail(url.error());
            return {};
        case Check::Credentials:
            if (const auto credentials = publish::ReadCredentials(value); !credentials.ok())
                return vp::Fail(credentials.error());
            return {};
        case Check::Ca:
            return publish::CheckTlsFile(publish::TlsFile::Ca, value);
        case Check::Certificate:
            return publish::CheckTlsFile(publish::TlsFile::Certificate, value);
        case Check::Key:
            return publish::CheckTlsFile(publish::TlsFile::Key, value);
    }
    return {};
}

bool IsComment(const QString& line) {
    return line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#'));
}

}  // namespace

Result<ConfigFile> ReadConfigFile(const QString& path) {
    // A FIFO or a device would hold the start up; only a plain file is a configuration.
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return vp::Fail(path + ": not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return vp::Fail(path + ": " + file.errorString());
    const QByteArray content = file.read(kMaxFileSize + 1);
    if (content.size() > kMaxFileSize) return vp::Fail(path + ": too large for a configuration");

    // The lines are checked here, so that a fault names its line; QSettings reads the values.
    QHash<QString, int> lineOf;
    int number = 0;
    for (const QByteArray& raw : content.split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || IsComment(line)) continue;
        const auto at = [&](const QString& what) {
            return vp::Fail(QStringLiteral("%1:%2: %3").arg(path).arg(number).arg(what));
        };
        if (line.startsWith(QLatin1Char('[')))
            return at(line + ": no sections here, only key = value lines");
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) return at("\"" + line + "\" is not key = value");
        const QString name = line.left(eq).trimmed();
        if (!Known(name)) return at(name + ": unknown key");
        if (lineOf.contains(name))
            return at(name + QStringLiteral(": given twice, first on line %1").arg(lineOf[name]));
        lineOf.insert(name, number);
    }

    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return vp::Fail(path + ": cannot be read as key = value lines");
    ConfigFile config{.path = path, .options = {}, .logFolder = {}};
    for (const Key& key : kKeys) {
        const QString name = QLatin1String(key.name);
        if (!lineOf.contains(name)) continue;
        const auto at = [&](const QString& what) {
            return vp::Fail(
                QStringLiteral("%1:%2: %3: %4").arg(path).arg(lineOf[name]).arg(name, what));
        };
        const QVariant read = settings.value(name);
        // QSettings makes a list of a value with a comma; such a value wants quotes.
        if (read.typeId() != QMetaType::QString)
            return at(QStringLiteral("put a value with a comma in double quotes"));
        const QString value = read.toString();
        if (const Result<> usable = Usable(value, key.check); !usable.ok())
            return at(usable.error());
        if (!key.option)
            config.logFolder = value;
        else if (name == QLatin1String("device"))
            config.options.emplace_back(QStringLiteral("port"),
                                        QString::number(link::kStartPort) + "=" + value);
        else
            config.options.emplace_back(QLatin1String(key.option), value);
    }
    return config;
}

std::optional<QString> ConfigFileArgument(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        for (const QString& dashes : {QStringLiteral("--"), QStringLiteral("-")}) {
            const QString option = dashes + QStringLiteral("config");
            if (argument == option && i + 1 < arguments.size()) return arguments[i + 1];
            if (argument.startsWith(option + '=')) return argument.mid(option.size() + 1);
        }
    }
    return std::nullopt;
}

QStringList WithConfigFile(const QStringList& arguments, const ConfigFile& config) {
    const auto given = [&arguments](const QString& name) {
        for (const QString& argument : arguments.mid(1))
            for (const QString& dashes : {QStringLiteral("--"), QStringLiteral("-")})
                if (argument == dashes + name || argument.startsWith(dashes + name + '='))
                    return true;
        return false;
    };
    QStringList merged{arguments.value(0)};
    for (const auto& [option, value] : config.options) {
        if (given(option) || (option == QLatin1String("port") && given(QStringLiteral("simulate"))))
            continue;
        merged << "--" + option << value;
    }
    merged << arguments.mid(1);
    return merged;
}

}  // namespace vp::app

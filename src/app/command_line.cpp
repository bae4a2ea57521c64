// SPDX-License-Identifier: MIT
#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <limits>

#include "app/config_file.h"
#include "base/program_name.h"
#include "link/port_defaults.h"
#include "publish/tls_files.h"

namespace vp::app {

namespace {

Options Fail(const QString& why) {
    Options o;
    o.exitCode = 2;
    o.message = ProgramSays(kPanelProgram, why) + u'\n';
    return o;
}

// Longest wait that Qt's timers take: milliseconds in an int.
constexpr double kMaxQuitAfterSeconds = std::numeric_limits<int>::max() / 1000.0;

// Options of Qt's application objects, which take them out of the command line only later. With
// a value: the first group.
const char* const kQtOptionsWithValue[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "display",         "geometry",           "style",         "stylesheet"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void LetQtOptionsThrough(QCommandLineParser& parser) {
    // "-platform" is one option named platform, not the letters p, l, a, t, f, o, r, m.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto hidden = [&](const char* name, const QString& value) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), value);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    };
    for (const char* name : kQtOptionsWithValue) hidden(name, QStringLiteral("value"));
    for (const char* name : kQtFlags) hidden(name, QString());
}

// "--discovery" takes its value only when one follows it: without, Home Assistant's own prefix.
QStringList WithDiscoveryPrefix(QStringList arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != QLatin1String("--discovery")) continue;
        if (i + 1 == arguments.size() || arguments[i + 1].startsWith('-'))
            arguments.insert(i + 1, QStringLiteral("homeassistant"));
        ++i;
    }
    return arguments;
}

}  // namespace

Options ParseCommandLine(const QStringList& given) {
    const QStringList commandLine = WithDiscoveryPrefix(given);
    // A plant's file first, the command line's own options over it.
    std::optional<ConfigFile> config;
    if (const auto path = ConfigFileArgument(commandLine)) {
        Result<ConfigFile> read = ReadConfigFile(*path);
        if (!read.ok()) return Fail(read.error());
        config = std::move(read).value();
    }
    const QStringList arguments = config ? WithConfigFile(commandLine, *config) : commandLine;

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Operator panel of the vacuum installation."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Serve port N (as chosen in the window) from DEVICE. Repeatable."),
        QStringLiteral("N=DEVICE"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save the window to FILE.png on quitting."),
                                        QStringLiteral("FILE.png"));
    const QCommandLineOption quitAfter(QStringLiteral("quit-after"),
                                       QStringLiteral("Quit after SECONDS of running."),
                                       QStringLiteral("SECONDS"));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Start the built-in simulated controller and serve port %1 from it.")
            .arg(link::kStartPort));
    const QCommandLineOption record(
        QStringLiteral("record"),
        QStringLiteral("Append every frame sent and every message received to FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window: connect at start, reconnect every 5 s, poll, log. "
                       "With --simulate: a gateway on the simulated plant, for demos and tests."));
    const QCommandLineOption publish(
        QStringLiteral("publish"),
        QStringLiteral("Publish the plant, read-only, to mqtt[s]://host[:port]/prefix."),
        QStringLiteral("URL"));
    const QCommandLineOption view(
        QStringLiteral("view"),
        QStringLiteral("Show the plant published at mqtt[s]://host[:port]/prefix, read-only."),
        QStringLiteral("URL"));
    const QCommandLineOption credentials(
        QStringLiteral("mqtt-credentials"),
        QStringLiteral("Broker user (first line) and password (second line); mode 0600."),
        QStringLiteral("FILE"));
    const QCommandLineOption ca(QStringLiteral("mqtt-ca"),
                                QStringLiteral("CA certificates that sign the broker's (mqtts)."),
                                QStringLiteral("FILE"));
    const QCommandLineOption cert(QStringLiteral("mqtt-cert"),
                                  QStringLiteral("Client certificate for the broker (mqtts)."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption key(QStringLiteral("mqtt-key"),
                                 QStringLiteral("Key of the client certificate (mqtts)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption configFile(
        QStringLiteral("config"),
        QStringLiteral("Read a plant's settings from FILE; options given here override them."),
        QStringLiteral("FILE"));
    const QCommandLineOption discovery(
        QStringLiteral("discovery"),
        QStringLiteral("Announce the plant to Home Assistant under PREFIX (homeassistant)."),
        QStringLiteral("PREFIX"));
    const QCommandLineOption discoveryRemove(
        QStringLiteral("discovery-remove"),
        QStringLiteral("Withdraw the plant's Home Assistant entities from the broker, and end."));
    parser.addOptions({port, screenshot, quitAfter, simulate, record, headless, publish, view,
                       credentials, ca, cert, key, configFile, discovery, discoveryRemove});
    LetQtOptionsThrough(parser);

    if (!parser.parse(arguments)) return Fail(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        Options o;
        o.exitCode = 0;
        o.message = HelpNamed(parser.helpText(), kPanelProgram);
        return o;
    }
    if (parser.isSet(version)) {
        Options o;
        o.exitCode = 0;
        o.message = VersionLine(kPanelProgram);
        return o;
    }
    if (!parser.positionalArguments().isEmpty())
        return Fail("unexpected argument: " + parser.positionalArguments().first());
    // Only --port is repeatable: the parser would keep the last of two values without a word, and
    // a gateway would publish to one of two brokers its service file names.
    for (const QCommandLineOption* single :
         {&screenshot, &quitAfter, &record, &publish, &view, &credentials, &ca, &cert, &key})
        if (parser.values(*single).size() > 1)
            return Fail("--" + single->names().first() + " may be given only once");
    // An empty name would quietly mean "none": the system's authorities, no credentials.
    for (const QCommandLineOption* file : {&credentials, &ca, &cert, &key})
        if (parser.isSet(*file) && parser.value(*file).isEmpty())
            return Fail("--" + file->names().first() + " wants a file name");

    Options options;
    for (const QString& mapping : parser.values(port)) {
        const qsizetype eq = mapping.indexOf('=');
        bool ok = false;
        const int n = eq > 0 ? mapping.left(eq).toInt(&ok) : 0;
        const QString device = eq > 0 ? mapping.mid(eq + 1) : QString();
        if (!ok || n < 1 || n > 32767 || device.isEmpty())
            return Fail("--port wants N=DEVICE with N from 1 to 32767, not \"" + mapping + "\"");
        options.ports.insert(n, device);
    }
    if (parser.isSet(screenshot)) {
        options.screenshot = parser.value(screenshot);
        if (options.screenshot.isEmpty()) return Fail("--screenshot wants a file name");
        // Known now, not after a whole run: the picture is written as PNG and nothing else.
        if (!options.screenshot.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
            return Fail("--screenshot writes PNG only: give a file name ending in .png, not \"" +
                        options.screenshot + "\"");
    }
    if (parser.isSet(quitAfter)) {
        bool ok = false;
        const double seconds = parser.value(quitAfter).toDouble(&ok);
        if (!ok || !(seconds >= 0) || seconds > kMaxQuitAfterSeconds)
            return Fail(
                QStringLiteral("--quit-after wants a number of seconds from 0 to %1, not \"%2\"")
                    .arg(int(kMaxQuitAfterSeconds))
                    .arg(parser.value(quitAfter)));
        options.quitAfterSeconds = seconds;
    }
    options.simulate = parser.isSet(simulate);
    // The simulated controller serves the start port; a mapping of the user's for it would be
    // dropped.
    if (options.simulate && options.ports.contains(link::kStartPort))
        return Fail(QStringLiteral("--simulate serves port %1 itself; it cannot go with --port %1=")
                        .arg(link::kStartPort) +
                    options.ports.value(link::kStartPort));
    if (parser.isSet(record)) {
        options.record = parser.value(record);
        if (options.record.isEmpty()) return Fail("--record wants a file name");
    }
    options.headless = parser.isSet(headless);
    for (const auto& [option, url] :
         {std::pair{&publish, &options.publish}, {&view, &options.view}}) {
        if (!parser.isSet(*option)) continue;
        Result<publish::BrokerUrl> parsed = publish::ParseBrokerUrl(parser.value(*option));
        if (!parsed.ok()) return Fail("--" + option->names().first() + ": " + parsed.error());
        *url = std::move(parsed).value();
    }
    if (options.view) {
        // A view has no serial line: nothing of the line's may go with it.
        for (const QCommandLineOption* lineOption :
             {&port, &simulate, &record, &headless, &publish})
            if (parser.isSet(*lineOption))
                return Fail("--view shows a plant from the broker; it cannot go with --" +
                            lineOption->names().first());
    }
    if (options.headless && parser.isSet(screenshot))
        return Fail("--headless has no window to take a --screenshot of");
    const bool broker = options.publish || options.view;
    for (const QCommandLineOption* brokerOption : {&credentials, &ca, &cert, &key})
        if (parser.isSet(*brokerOption) && !broker)
            return Fail("--" + brokerOption->names().first() + " wants --publish or --view");
    for (const QCommandLineOption* haOption : {&discovery, &discoveryRemove})
        if (parser.isSet(*haOption) && !options.publish)
            return Fail("--" + haOption->names().first() + " wants --publish");
    if (parser.isSet(discovery) || parser.isSet(discoveryRemove)) {
        options.discovery =
            parser.isSet(discovery) ? parser.value(discovery) : QStringLiteral("homeassistant");
        options.discoveryRemove = parser.isSet(discoveryRemove);
        if (options.discovery.isEmpty() || options.discovery.contains('+') ||
            options.discovery.contains('#') || options.discovery.startsWith('/') ||
            options.discovery.endsWith('/'))
            return Fail("--discovery wants a topic prefix without wildcards, not \"" +
                        options.discovery + "\"");
    }
    if (parser.isSet(credentials)) {
        Result<publish::Credentials> read = publish::ReadCredentials(parser.value(credentials));
        if (!read.ok()) return Fail(read.error());
        options.credentials = std::move(read).value();
    }
    options.tls = {parser.value(ca), parser.value(cert), parser.value(key)};
    const bool tlsBroker =
        options.publish ? options.publish->tls : options.view && options.view->tls;
    if (const Result<> tls = publish::CheckTlsOptions(options.tls, tlsBroker); !tls.ok())
        return Fail(tls.error());
    if (config) options.logFolder = config->logFolder;
    return options;
}

QStringList ArgumentList(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace vp::app

#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace vp::app {

namespace {

Options Fail(const QString& why) {
    Options o;
    o.exitCode = 2;
    o.message = "vacuum-panel: " + why + "\n";
    return o;
}

}  // namespace

Options ParseCommandLine(const QStringList& arguments) {
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
        QStringLiteral("Start the built-in simulated controller and serve port 3 from it."));
    const QCommandLineOption record(
        QStringLiteral("record"),
        QStringLiteral("Append every frame sent and every message received to FILE."),
        QStringLiteral("FILE"));
    parser.addOptions({port, screenshot, quitAfter, simulate, record});

    if (!parser.parse(arguments)) return Fail(parser.errorText());
    if (parser.isSet(help)) {
        Options o;
        o.exitCode = 0;
        o.message = parser.helpText();
        return o;
    }
    if (parser.isSet(version)) {
        Options o;
        o.exitCode = 0;
        o.message = QStringLiteral("vacuum-panel %1\n").arg(QStringLiteral(VP_VERSION));
        return o;
    }
    if (!parser.positionalArguments().isEmpty())
        return Fail("unexpected argument: " + parser.positionalArguments().first());

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
    }
    if (parser.isSet(quitAfter)) {
        bool ok = false;
        const double seconds = parser.value(quitAfter).toDouble(&ok);
        if (!ok || !(seconds >= 0) || seconds > 86400.0 * 365)
            return Fail("--quit-after wants a number of seconds, not \"" + parser.value(quitAfter) +
                        "\"");
        options.quitAfterSeconds = seconds;
    }
    options.simulate = parser.isSet(simulate);
    if (parser.isSet(record)) {
        options.record = parser.value(record);
        if (options.record.isEmpty()) return Fail("--record wants a file name");
    }
    return options;
}

}  // namespace vp::app

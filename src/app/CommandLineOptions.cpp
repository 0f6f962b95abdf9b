#include "app/CommandLineOptions.h"
#include "settings/SettingsFile.h"

#include <QCommandLineParser>
#include <QDir>

#include <cstdio>

namespace gw {

namespace {

    // What the toolkit itself reads from the command line (the session manager restarts the
    // program with -session); accepted here so they reach it, and kept out of the help.
    QList<QCommandLineOption> toolkitOptions()
    {
        QList<QCommandLineOption> options;
        for (const char* name : { "platform", "platformtheme", "display", "style", "stylesheet", "session",
                 "qwindowgeometry", "qwindowtitle", "qwindowicon" }) {
            QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
            o.setFlags(QCommandLineOption::HiddenFromHelp);
            options << o;
        }
        return options;
    }

} // namespace

CommandLine CommandLine::read(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return read(arguments);
}

CommandLine CommandLine::read(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Keeps a fresh view of the Earth on the desktop: runs xplanet on a timer and keeps its cloud "
                       "map, earthquake markers and satellite elements current."));
    const QCommandLineOption help(
        { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Print these options and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Print the version and exit."));
    const QCommandLineOption settings(QStringLiteral("settings"),
        QStringLiteral("Keep the settings in <file> instead of the default settings file."), QStringLiteral("file"));
    const QCommandLineOption renderNow(QStringLiteral("render-now"),
        QStringLiteral("Ask the running Globewall to render now; when none runs, start and render."));
    const QCommandLineOption downloadNow(QStringLiteral("download-now"),
        QStringLiteral("Ask the running Globewall to check all downloads now; when none runs, start and check them."));
    const QCommandLineOption show(QStringLiteral("show"), QStringLiteral("Show the window of the running Globewall."));
    const QCommandLineOption status(QStringLiteral("status"),
        QStringLiteral("Print for each download its address, file, content age, last result and next allowed fetch, "
                       "the desktop, its monitors and the next render, and exit. Asks the running Globewall, else "
                       "reads the settings file."));
    parser.addOptions({ help, version, settings, renderNow, downloadNow, show, status });
    parser.addOptions(toolkitOptions());

    CommandLine cl;
    if (!parser.parse(arguments.isEmpty() ? QStringList { QStringLiteral("Globewall") } : arguments)) {
        cl.endsNow = true;
        cl.exitCode = 2;
        cl.text = QStringLiteral("Globewall: ") + parser.errorText() + QStringLiteral("\nTry 'Globewall --help'.\n");
        return cl;
    }
    if (!parser.positionalArguments().isEmpty()) {
        cl.endsNow = true;
        cl.exitCode = 2;
        cl.text = QStringLiteral("Globewall: unexpected argument '") + parser.positionalArguments().constFirst()
            + QStringLiteral("'.\nTry 'Globewall --help'.\n");
        return cl;
    }
    if (parser.isSet(help)) {
        cl.endsNow = true;
        cl.text = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("Globewall"));
        return cl;
    }
    if (parser.isSet(version)) {
        cl.endsNow = true;
        cl.text = QStringLiteral("Globewall " GLOBEWALL_VERSION "\n");
        return cl;
    }
    if (parser.isSet(settings)) {
        const QString file = parser.value(settings);
        if (file.isEmpty()) {
            cl.endsNow = true;
            cl.exitCode = 2;
            cl.text = QStringLiteral("Globewall: --settings needs a file name.\n");
            return cl;
        }
        cl.options.settingsFile = QDir::cleanPath(QDir::current().absoluteFilePath(file));
        // The name is kept in the file itself; one that would come back as another name
        // would make the next start read another file.
        const QString problem = SettingsFile::fileNameProblem(cl.options.settingsFile);
        if (!problem.isEmpty()) {
            cl.endsNow = true;
            cl.exitCode = 2;
            cl.text = QStringLiteral("Globewall: ") + problem + QStringLiteral(".\n");
            return cl;
        }
    }
    cl.options.renderNow = parser.isSet(renderNow);
    cl.options.downloadNow = parser.isSet(downloadNow);
    cl.options.show = parser.isSet(show);
    cl.options.status = parser.isSet(status);
    return cl;
}

int CommandLine::finish() const
{
    const QByteArray bytes = text.toLocal8Bit();
    std::FILE* out = exitCode == 0 ? stdout : stderr;
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
    std::fflush(out);
    return exitCode;
}

} // namespace gw

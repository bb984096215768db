#include "app/CommandLine.h"

#include "app/DisplayChoice.h"
#include "app/SettingsLocation.h"
#include "base/AppInfo.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>
#include <filesystem>

using namespace Qt::StringLiterals;

bool RunsHeadless = false;

namespace {

// Wrong options end the program with this code, as with most command-line tools.
constexpr int UsageErrorExitCode = 2;
// No display to open the windows on, as X11 programs end then.
constexpr int NoDisplayExitCode = 1;

const QCommandLineOption HelpOption({u"h"_s, u"help"_s}, u"Shows this help and ends."_s);
const QCommandLineOption VersionOption({u"v"_s, u"version"_s}, u"Shows the version and ends."_s);
const QCommandLineOption SettingsOption(u"settings"_s,
                                        u"Reads and saves the settings in <file> in place of the usual "
                                        "settings file."_s,
                                        u"file"_s);

const QCommandLineOption HeadlessOption(u"headless"_s,
                                        u"Runs without windows and needs no display: the server and all else run "
                                        "as the settings file says; the log goes to standard error."_s);

const QCommandLineOption PlatformOption(u"platform"_s, QString(), u"value"_s);
const QCommandLineOption DisplayOption(u"display"_s, QString(), u"value"_s);

// Qt's own options (https://doc.qt.io/qt-6/qguiapplication.html#QGuiApplication), the X11
// ones among them, are left for the application object, which takes them out itself: a
// session manager restores a session with -session, and users choose a style or platform
// with -style and -platform.
QList<QCommandLineOption> qtOwnOptions()
{
    QList<QCommandLineOption> options{PlatformOption, DisplayOption};
    for (const char *name :
         {"platformpluginpath", "platformtheme", "plugin", "qmljsdebugger", "qwindowgeometry", "qwindowicon",
          "qwindowtitle", "session", "style", "stylesheet", "geometry", "name", "title", "icon", "visual"})
        options.append(QCommandLineOption(QString::fromLatin1(name), QString(), u"value"_s));
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
        options.append(QCommandLineOption(QString::fromLatin1(name)));
    for (QCommandLineOption &option : options)
        option.setFlags(QCommandLineOption::HiddenFromHelp);
    return options;
}

void print(FILE *stream, const QString &text) { std::fputs(text.toLocal8Bit().constData(), stream); }

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// The file name given with --settings, as its bytes: a name that is not valid text is used as it is.
QByteArray settingsFileName(int argc, char **argv)
{
    QByteArray name;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        const QByteArray option = argument.startsWith("--") ? argument.sliced(1) : argument;
        if (option == "-settings" && i + 1 < argc)
            name = argv[++i];
        else if (option.startsWith("-settings="))
            name = option.sliced(10);
    }
    return QByteArray::fromStdString(std::filesystem::absolute(name.toStdString()).native());
}

// What is wrong with the options; empty when nothing is.
QString usageError(QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.parse(arguments))
        return parser.errorText();
    if (!parser.positionalArguments().isEmpty())
        return u"Unexpected argument '%1'."_s.arg(parser.positionalArguments().constFirst());
    if (parser.isSet(SettingsOption) && parser.value(SettingsOption).isEmpty())
        return u"The option '--settings' needs a file name."_s;
    return {};
}

QString helpText(const QString &programName)
{
    return u"Usage: %1 [options]\n"
           "%2: shows your camera and shares it on the web.\n\n"
           "Options:\n"
           "  -h, --help          %3\n"
           "  -v, --version       %4\n"
           "  --settings <file>   %5\n"
           "  --headless          %6\n"_s.arg(programName, AppTitle, HelpOption.description(),
                                              VersionOption.description(), SettingsOption.description(),
                                              HeadlessOption.description());
}

} // namespace

std::optional<int> HandleCommandLine(int argc, char **argv)
{
    const QStringList arguments = argumentList(argc, argv);
    const QString programName = arguments.isEmpty() ? u"vantrel"_s : QFileInfo(arguments.constFirst()).fileName();
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({HelpOption, VersionOption, SettingsOption, HeadlessOption});
    parser.addOptions(qtOwnOptions());
    if (const QString error = usageError(parser, arguments); !error.isEmpty()) {
        print(stderr, u"%1: %2\nTry '%1 --help' for more information.\n"_s.arg(programName, error));
        return UsageErrorExitCode;
    }
    if (parser.isSet(HelpOption)) {
        print(stdout, helpText(programName));
        return 0;
    }
    if (parser.isSet(VersionOption)) {
        print(stdout, AppVersion + u'\n');
        return 0;
    }
    // Without windows the platform that draws into memory is the one, whatever the session has.
    if (parser.isSet(HeadlessOption)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        RunsHeadless = true;
    }
    if (const std::optional<QString> problem =
            ChooseDisplay(parser.isSet(HeadlessOption) ? u"offscreen"_s : parser.value(PlatformOption),
                          parser.value(DisplayOption))) {
        print(stderr, u"%1: %2\n"_s.arg(programName, *problem));
        return NoDisplayExitCode;
    }
    if (parser.isSet(SettingsOption)) {
        const QByteArray settingsFile = settingsFileName(argc, argv);
        SettingsFileLocation.install([settingsFile] { return settingsFile; });
    }
    return std::nullopt;
}

#include "commandline.h"

#include "wispleafversion.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {
// Options QApplication takes for itself; they must not count as unknown.
void addQtOptions(QCommandLineParser &parser)
{
    const struct { const char *name; bool takesValue; } qtOptions[] = {
        {"platform", true},  {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
        {"qwindowgeometry", true}, {"qwindowicon", true}, {"qwindowtitle", true}, {"style", true},
        {"stylesheet", true}, {"session", true}, {"display", true}, {"geometry", true},
        {"widgetcount", false}, {"reverse", false}, {"nograb", false}, {"dograb", false}, {"sync", false},
    };
    for (const auto &qt : qtOptions) {
        QCommandLineOption option(QString::fromLatin1(qt.name));
        if (qt.takesValue)
            option.setValueName(QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}
} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    // Qt's options are single-dash words: "-platform offscreen".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("社内LANのチャットクライアントです。接続先リスト PCIP.dat の接続先に順に接続し、"
                       "チャットサーバー Wisphub とメッセージをやり取りします。\n"
                       "A chat client for the office LAN: it connects to a Wisphub chat server from the "
                       "destination list PCIP.dat in the working folder."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    addQtOptions(parser);

    CommandLine result;
    const QString program = QStringLiteral("Wispleaf");
    if (!parser.parse(arguments)) {
        result.action = Action::Exit;
        result.exitCode = 2;
        result.error = QStringLiteral("%1: %2\n%3").arg(program, parser.errorText(),
                                                        QStringLiteral("Try '%1 --help'.\n").arg(program));
    } else if (!parser.positionalArguments().isEmpty()) {
        result.action = Action::Exit;
        result.exitCode = 2;
        result.error = QStringLiteral("%1: unexpected argument '%2'\nTry '%1 --help'.\n")
                           .arg(program, parser.positionalArguments().constFirst());
    } else if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.action = Action::Exit;
        // Without an application object Qt cannot name the program itself.
        result.output = parser.helpText().replace(QLatin1String("<executable_name>"), program);
    } else if (parser.isSet(version)) {
        result.action = Action::Exit;
        result.output = QStringLiteral("%1 %2\n").arg(program, QStringLiteral(WISPLEAF_VERSION));
    }
    return result;
}

#include "commandline.h"

#include "wispleafversion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

namespace {
// Options QApplication and its platform plugins take for themselves: they
// must not count as unknown, and --help-all lists them.
void addQtOptions(QCommandLineParser &parser, bool listed)
{
    const struct { const char *name; const char *value; const char *description; } qtOptions[] = {
        {"platform", "name[:options]", "window system plugin (xcb, wayland, offscreen, windows)"},
        {"platformpluginpath", "path", "where to look for platform plugins"},
        {"platformtheme", "name", "platform theme"},
        {"plugin", "plugin", "an additional input-device plugin"},
        {"qwindowgeometry", "geometry", "the main window's geometry"},
        {"qwindowicon", "icon", "the main window's icon"},
        {"qwindowtitle", "title", "the main window's title"},
        {"style", "style", "widget style (Fusion, Windows, ...)"},
        {"stylesheet", "file", "a style sheet"},
        {"session", "id", "a session to restore"},
        {"reverse", nullptr, "right-to-left layout"},
        {"widgetcount", nullptr, "print the number of widgets at exit"},
        {"display", "display", "X11 display (xcb)"},
        {"geometry", "geometry", "the main window's geometry (xcb)"},
        {"name", "name", "the application name for X11 resources (xcb)"},
        {"title", "title", "the main window's title (xcb)"},
        {"visual", "visual", "X11 visual (xcb)"},
        {"nograb", nullptr, "never grab the mouse or keyboard (xcb)"},
        {"dograb", nullptr, "grab even under a debugger (xcb)"},
        {"sync", nullptr, "synchronous X11 calls, for debugging (xcb)"},
    };
    for (const auto &qt : qtOptions) {
        QCommandLineOption option(QString::fromLatin1(qt.name), QString::fromUtf8(qt.description));
        if (qt.value)
            option.setValueName(QString::fromLatin1(qt.value));
        if (!listed)
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
    const QCommandLineOption workFolder(
        QStringLiteral("work-folder"),
        QStringLiteral("作業フォルダー（PCIP.dat の置き場所）。なければ作ります。%LOCALAPPDATA% などの環境変数が使えます。\n"
                       "The working folder, where PCIP.dat lives; created when missing. %VARIABLE%s are expanded."),
        QStringLiteral("folder"));
    parser.addOption(workFolder);
    const QCommandLineOption noNotifications(
        QStringLiteral("no-notifications"),
        QStringLiteral("新しい発言をデスクトップの通知と未読数で知らせません（タスクバーでの知らせは残ります）。\n"
                       "No desktop notification or unread count for new lines (the task-bar alert stays)."));
    parser.addOption(noNotifications);
    addQtOptions(parser, arguments.contains(QStringLiteral("--help-all")));

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
    result.workFolder = parser.value(workFolder);
    result.notifications = !parser.isSet(noNotifications);
    return result;
}

bool enterWorkFolder(const QString &folder, QString *error)
{
    static const QRegularExpression variable(QStringLiteral("%([^%]+)%"));
    QString expanded = folder;
    QRegularExpressionMatch match;
    qsizetype from = 0;
    while ((match = variable.match(expanded, from)).hasMatch()) {
        const QString value = qEnvironmentVariable(match.captured(1).toLocal8Bit().constData());
        if (value.isEmpty()) { // left as it stands, like the Windows shell does
            from = match.capturedEnd() - 1;
            continue;
        }
        expanded.replace(match.capturedStart(), match.capturedLength(), value);
        from = match.capturedStart() + value.size();
    }
    if (!QDir().mkpath(expanded) || !QDir::setCurrent(expanded)) {
        *error = QStringLiteral("作業フォルダー「%1」を使えません").arg(QDir::toNativeSeparators(expanded));
        return false;
    }
    return true;
}

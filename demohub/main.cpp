// A stand-in for the Wisphub chat server, for trying Wispleaf out.
#include "hubserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("wispleaf-demohub"));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Stand-in chat hub speaking the Wisphub protocol."));
    options.addHelpOption();
    const QCommandLineOption address({QStringLiteral("a"), QStringLiteral("address")},
                                     QStringLiteral("Address to listen on."), QStringLiteral("address"),
                                     QStringLiteral("127.0.0.1"));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("TCP port to listen on."), QStringLiteral("port"),
                                  QStringLiteral("5000"));
    const QCommandLineOption log({QStringLiteral("l"), QStringLiteral("log")},
                                 QStringLiteral("Print every message the clients send."));
    options.addOption(address);
    options.addOption(port);
    options.addOption(log);
    options.process(app);

    QTextStream err(stderr);
    bool portOk = false;
    const uint portNumber = options.value(port).toUInt(&portOk);
    const QHostAddress host(options.value(address));
    if (!portOk || portNumber == 0 || portNumber > 65535 || host.isNull()) {
        err << "demohub: give a valid --address and --port\n";
        return 2;
    }
    HubServer hub;
    if (options.isSet(log)) {
        QObject::connect(&hub, &HubServer::messageReceived, &hub, [](const HubStreamParser::Message &message) {
            static const char *const kinds[] = {"entry", "chat", "refresh"};
            QTextStream out(stdout);
            out.setEncoding(QStringConverter::Utf8);
            out << "demohub: " << kinds[int(message.kind)] << " \"" << message.payload << "\" from "
                << message.address << Qt::endl;
        });
    }
    if (!hub.listen(host, quint16(portNumber))) {
        err << "demohub: cannot listen on " << host.toString() << ':' << portNumber << ": "
            << hub.errorString() << '\n';
        return 1;
    }
    QTextStream(stdout) << "demohub: listening on " << host.toString() << ':' << hub.port() << Qt::endl;
    return app.exec();
}

// The least reading a display update costs a client that shows only what
// changed: read the bytes from the socket as they come (into memory used
// again) and, after a 40 ms pause, compare them with the update before.
// Usage: readfloor PORT
#include <QCoreApplication>
#include <QTcpSocket>
#include <QTimer>

#include <cstring>
#include <utility>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QTcpSocket socket;
    socket.setReadBufferSize(1024 * 1024); // as Wispleaf reads: the least it costs
    QByteArray update, last;
    QTimer quiet;
    quiet.setSingleShot(true);
    quiet.setInterval(40);
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        const qint64 available = socket.bytesAvailable();
        const qsizetype at = update.size();
        update.resize(at + available);
        update.resize(at + std::max<qint64>(0, socket.read(update.data() + at, available)));
        quiet.start();
    });
    int unchanged = 0;
    QObject::connect(&quiet, &QTimer::timeout, [&] {
        if (update.size() == last.size() && std::memcmp(update.constData(), last.constData(), update.size()) == 0)
            ++unchanged;
        std::swap(update, last);
        update.resize(0); // the memory is used again
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, &app, &QCoreApplication::quit);
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(QByteArray(argv[1]).toUInt()));
    const int code = app.exec();
    return unchanged >= 0 ? code : 1;
}

#include "testsupport.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <qt_windows.h>
#else
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

ScopedWorkDir::ScopedWorkDir()
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

ScopedWorkDir::~ScopedWorkDir()
{
    QDir::setCurrent(m_previous);
}

PCIPRecord makeRecord(qint16 attempt, const QString &name, const QString &address)
{
    PCIPRecord record;
    record.Attempt = attempt;
    record.PCName = name;
    record.IPAddress = address;
    return record;
}

QByteArray recordBytes(qint16 attempt, const QString &name, const QString &address)
{
    return makeRecord(attempt, name, address).toBytes();
}

void writeRecords(const QList<PCIPRecord> &records, const QString &path)
{
    QByteArray bytes;
    for (const PCIPRecord &record : records)
        bytes += record.toBytes();
    writeFileBytes(bytes, path);
}

void writeFileBytes(const QByteArray &bytes, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

MessageBoxWatcher::MessageBoxWatcher(QMessageBox::StandardButton answer)
    : m_answer(answer)
{
    qApp->installEventFilter(this);
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    qApp->removeEventFilter(this);
}

QStringList MessageBoxWatcher::texts() const
{
    QStringList result;
    for (const Seen &box : m_seen)
        result << box.text;
    return result;
}

bool MessageBoxWatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show)
        return false;
    auto *box = qobject_cast<QMessageBox *>(watched);
    if (!box || box->property("seenByWatcher").toBool())
        return false;
    box->setProperty("seenByWatcher", true);
    const QMessageBox::StandardButton defaultButton =
        box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    m_seen.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(), defaultButton,
                   box->textFormat()});
    QAbstractButton *answer = box->button(m_answer);
    if (!answer)
        answer = box->button(QMessageBox::Ok);
    QMetaObject::invokeMethod(answer, &QAbstractButton::click, Qt::QueuedConnection);
    return false;
}

LoopbackServer::LoopbackServer(const QHostAddress &address, quint16 port)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            const int index = int(m_clients.size());
            m_clients.append(socket);
            m_received.append(QByteArray());
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, index] {
                m_received[index] += socket->readAll();
            });
        }
    });
    m_server.listen(address, port);
}

void LoopbackServer::sendToAll(const QByteArray &bytes)
{
    for (const auto &client : m_clients) {
        if (client)
            client->write(bytes);
    }
}

UnansweredListener::UnansweredListener(const QHostAddress &address, quint16 port)
{
    m_server.setListenBacklogSize(0);
    if (!m_server.listen(address, port))
        return;
    m_server.pauseAccepting();
    // Fill the accept queue; once a filler stays pending, so will the client.
    for (int i = 0; i < 16 && !m_ready; ++i) {
        auto filler = std::make_unique<QTcpSocket>();
        filler->connectToHost(address, port);
        QElapsedTimer clock;
        clock.start();
        while (filler->state() != QAbstractSocket::ConnectedState && clock.elapsed() < 300)
            QTest::qWait(10);
        m_ready = filler->state() != QAbstractSocket::ConnectedState;
        m_fillers.push_back(std::move(filler));
    }
}

double processStatusMiB(const QString &process, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

double processCpuSeconds()
{
#ifdef Q_OS_WIN
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME &time) {
        return double((quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

StuckHub::StuckHub()
{
    listen(QHostAddress::LocalHost);
}

void StuckHub::incomingConnection(qintptr descriptor)
{
    // Kept as the bare socket: no notifier ever reads from it.
    if (m_descriptor < 0)
        m_descriptor = descriptor;
}

bool StuckHub::send(const QByteArray &bytes)
{
#ifdef Q_OS_WIN
    return m_descriptor >= 0 && ::send(SOCKET(m_descriptor), bytes.constData(), int(bytes.size()), 0) == bytes.size();
#else
    return m_descriptor >= 0 && ::send(int(m_descriptor), bytes.constData(), size_t(bytes.size()), 0) == bytes.size();
#endif
}

void StuckHub::kill()
{
    if (m_descriptor < 0)
        return;
#ifdef Q_OS_WIN
    ::closesocket(SOCKET(m_descriptor));
#else
    ::close(int(m_descriptor));
#endif
    m_descriptor = -1;
}

#pragma once

#include "pciprecord.h"

#include <QHostAddress>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <vector>

// Runs the test in a fresh temporary working directory, where "PCIP.dat"
// is resolved, and restores the old one afterwards.
class ScopedWorkDir final
{
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

PCIPRecord makeRecord(qint16 attempt, const QString &name, const QString &address);
QByteArray recordBytes(qint16 attempt, const QString &name, const QString &address);
void writeRecords(const QList<PCIPRecord> &records, const QString &path = QStringLiteral("PCIP.dat"));
void writeFileBytes(const QByteArray &bytes, const QString &path = QStringLiteral("PCIP.dat"));

// Records what every message box shows and answers it as soon as it is
// shown. It watches the application's events instead of polling, so it adds
// no wake-ups to the event loop of the code under test.
class MessageBoxWatcher final : public QObject
{
    Q_OBJECT
public:
    struct Seen
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        Qt::TextFormat format;
    };

    explicit MessageBoxWatcher(QMessageBox::StandardButton answer = QMessageBox::Ok);
    ~MessageBoxWatcher() override;
    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    const QList<Seen> &seen() const { return m_seen; }
    QStringList texts() const;
    void clear() { m_seen.clear(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMessageBox::StandardButton m_answer;
    QList<Seen> m_seen;
};

// A chat peer on loopback that records every byte each client sends.
class LoopbackServer final : public QObject
{
    Q_OBJECT
public:
    explicit LoopbackServer(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    int connectionCount() const { return int(m_clients.size()); }
    QTcpSocket *client(int i) const { return m_clients.at(i); }
    QByteArray received(int i) const { return m_received.value(i); }
    void sendToAll(const QByteArray &bytes);

private:
    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_clients;
    QList<QByteArray> m_received;
};

// A hub program that hangs after the entry: it answers through send(),
// reads nothing more, and kill() ends it as the system ends a killed
// program's connection, with a reset while data sent to it lies unread.
class StuckHub final : public QTcpServer
{
    Q_OBJECT
public:
    StuckHub();
    ~StuckHub() override { kill(); }
    bool hasConnection() const { return m_descriptor >= 0; }
    bool send(const QByteArray &bytes);
    void kill();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    qintptr m_descriptor = -1;
};

// A listening socket that never answers: its accept queue is full and it
// accepts nothing, so a new connection attempt stays pending.
class UnansweredListener final
{
public:
    UnansweredListener(const QHostAddress &address, quint16 port);
    bool isReady() const { return m_ready; }

private:
    QTcpServer m_server;
    std::vector<std::unique_ptr<QTcpSocket>> m_fillers;
    bool m_ready = false;
};

// CPU time used by this process so far, in seconds.
double processCpuSeconds();

// A field of a process's /proc status (VmRSS, VmHWM, ...) in MiB; the
// process is "self" or a process id. -1 where there is no such file.
double processStatusMiB(const QString &process, const QByteArray &field);

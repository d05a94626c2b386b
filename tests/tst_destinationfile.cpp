#include "destinationinput.h"
#include "diskwriter.h"
#include "inplacerewrite.h"
#include "pcipfile.h"
#include "probes.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#ifndef Q_OS_WIN
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

class DestinationFileTest final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); } // journals kept apart
    void recordBytes_data();
    void recordBytes();
    void replaceAllFailureKeepsOldList();
    void replaceAllKeepsOwnerGroupAndMode_data();
    void replaceAllKeepsOwnerGroupAndMode();
    void rewriteWhereTheFolderTakesNoNewFile();
    void inPlaceRewriteEndsAsTheUserWasTold_data();
    void inPlaceRewriteEndsAsTheUserWasTold();
    void recordLimit();
    void numericText_data();
    void numericText();
    void inputVerdicts_data();
    void inputVerdicts();
    void addressSplit_data();
    void addressSplit();
};

namespace {
// Passes every step to the system and notes it, one line a step; can stand
// for a folder that takes no new file and for overwrites that fail half-way.
class RecordingWriter final : public DiskWriter
{
public:
    Outcome replace(const QString &path, const QByteArray &bytes, QString *error) override
    {
        const bool refused = refuseNewFileFor == QFileInfo(path).fileName();
        const Outcome outcome = refused ? Outcome::CannotCreate : DiskWriter::system().replace(path, bytes, error);
        log << QStringLiteral("replace %1: %2").arg(nameOf(path)).arg(int(outcome));
        return outcome;
    }
    Outcome overwrite(const QString &path, const QByteArray &bytes, QString *error) override
    {
        Outcome outcome = Outcome::Untouched; // as when another program holds it
        if (untouchedOverwrites > 0) {
            --untouchedOverwrites;
        } else if (failingOverwrites > 0) {
            --failingOverwrites;
            DiskWriter::system().overwrite(path, bytes.left(bytes.size() / 2), error); // torn
            outcome = Outcome::Failed;
        } else {
            outcome = DiskWriter::system().overwrite(path, bytes, error);
        }
        const QMap<Outcome, QString> words{{Outcome::Written, "ok"}, {Outcome::Failed, "failed"}, {Outcome::Untouched, "untouched"}};
        log << QStringLiteral("overwrite %1: %2").arg(nameOf(path), words.value(outcome));
        return outcome;
    }

    QString refuseNewFileFor;
    int untouchedOverwrites = 0;
    int failingOverwrites = 0;
    QStringList log;

private:
    static QString nameOf(const QString &path) { return path.endsWith(".journal") ? "journal" : QFileInfo(path).fileName(); }
};

const QString kWritten = QString::number(int(DiskWriter::Outcome::Written));
const QString kCannotCreate = QString::number(int(DiskWriter::Outcome::CannotCreate));
} // namespace

void DestinationFileTest::recordBytes_data()
{
    QTest::addColumn<qint16>("attempt");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shownName"); // as readers use it

    const QByteArray spaces20(20, ' ');
    QTest::newRow("PC1 marked") << qint16(-1) << "PC1" << "192.168.0.10"
                                << QByteArray::fromHex("FFFF") + "PC1" + QByteArray(17, ' ') + "192.168.0.10   " << QStringLiteral("PC1");
    QTest::newRow("odd mark 1 is little-endian") << qint16(1) << "x" << "1.1.1.1"
                                                 << QByteArray("\x01\x00x", 3) + QByteArray(19, ' ') + "1.1.1.1        "
                                                 << QStringLiteral("x");
    QTest::newRow("not marked") << qint16(0) << "" << "1.2.3.4"
                                << QByteArray(2, '\0') + spaces20 + "1.2.3.4        " << QStringLiteral("");
    QTest::newRow("25 ASCII characters") << qint16(0) << "ABCDEFGHIJKLMNOPQRSTUVWXY" << "10.0.0.1"
                                         << QByteArray(2, '\0') + "ABCDEFGHIJKLMNOPQRST" + "10.0.0.1       " << QStringLiteral("ABCDEFGHIJKLMNOPQRST");
    // 12 double-byte characters are 24 bytes: the first 20 bytes are kept.
    QTest::newRow("12 double-byte characters")
        << qint16(-1) << QStringLiteral("あいうえおかきくけこさし") << "1.1.1.1"
        << QByteArray::fromHex("FFFF") + QByteArray("\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB\x82\xAD\x82\xAF\x82\xB1")
               + "1.1.1.1        " << QStringLiteral("あいうえおかきくけこ");
    // One ASCII letter then double-byte characters: the 20th byte would be
    // half a character, so it is written as a space.
    QTest::newRow("split double-byte becomes space")
        << qint16(0) << QStringLiteral("aあいうえおかきくけこ") << "1.1.1.1"
        << QByteArray(2, '\0') + QByteArray("a\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB\x82\xAD\x82\xAF ")
               + "1.1.1.1        " << QStringLiteral("aあいうえおかきくけ");
    QTest::newRow("name with spaces") << qint16(0) << "  PC " << "1.1.1.1"
                                      << QByteArray(2, '\0') + "  PC" + QByteArray(16, ' ') + "1.1.1.1        " << QStringLiteral("PC");
    QTest::newRow("leading address spaces stay") << qint16(0) << "x" << " 1.2.3.4"
                                                 << QByteArray(2, '\0') + "x" + QByteArray(19, ' ') + " 1.2.3.4       "
                                                 << QStringLiteral("x");
}

void DestinationFileTest::recordBytes()
{
    QFETCH(qint16, attempt);
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shownName);
    const QByteArray written = makeRecord(attempt, name, address).toBytes();
    QCOMPARE(written.size(), PCIPRecord::kSize);
    QCOMPARE(written.toHex(' '), bytes.toHex(' '));
    const PCIPRecord back = PCIPRecord::fromBytes(written);
    QCOMPARE(back.Attempt, attempt);
    QCOMPARE(back.trimmedName(), shownName);
    QCOMPARE(back.trimmedAddress(), address);
}

void DestinationFileTest::replaceAllFailureKeepsOldList()
{
#ifdef Q_OS_WIN
    QSKIP("a file-size limit that fails a write half-way exists on POSIX systems only");
#else
    ScopedWorkDir dir;
    const QList<PCIPRecord> old{makeRecord(-1, "A", "1.1.1.1"), makeRecord(0, "B", "2.2.2.2")};
    writeRecords(old);
    const QByteArray oldBytes = readFileBytes();

    // A file-size limit makes the write fail half-way, like a full disk.
    QByteArray many;
    for (int i = 0; i < 100; ++i)
        many += makeRecord(0, QStringLiteral("PC%1").arg(i), "10.0.0.1").toBytes();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 200;
    setrlimit(RLIMIT_FSIZE, &tiny);
    QString error;
    const bool replaced = PcipFile::replaceAll("PCIP.dat", many, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!replaced);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readFileBytes(), oldBytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"PCIP.dat"});
#endif
}

void DestinationFileTest::replaceAllKeepsOwnerGroupAndMode_data()
{
    QTest::addColumn<bool>("asMember"); // of the list's group, not its owner; else as root
    QTest::newRow("root keeps owner, group and mode") << false;
    QTest::newRow("a member of the group keeps group and mode") << true;
}

void DestinationFileTest::replaceAllKeepsOwnerGroupAndMode()
{
#ifdef Q_OS_WIN
    QSKIP("the new file takes the folder's permissions on Windows");
#else
    QFETCH(bool, asMember);
    if (geteuid() != 0)
        QSKIP("giving the list to another user, or acting as one, needs root (as in CI)");
    ScopedWorkDir dir;
    // A list another user keeps for a group, in a folder the group may write, as on a shared folder.
    QVERIFY(QDir().mkdir("shared") && ::chmod(QFile::encodeName(dir.path()), 0755) == 0);
    QVERIFY(::chown("shared", 54321, 54322) == 0 && ::chmod("shared", 0775) == 0);
    writeFileBytes(::recordBytes(-1, "A", "1.1.1.1") + ::recordBytes(0, "B", "2.2.2.2"), "shared/PCIP.dat");
    QVERIFY(::chown("shared/PCIP.dat", 54321, 54322) == 0 && ::chmod("shared/PCIP.dat", 0664) == 0);
    struct stat before = {}, after = {};
    QVERIFY(::stat("shared/PCIP.dat", &before) == 0);
    const QByteArray one = ::recordBytes(0, "B", "2.2.2.2");
    const pid_t child = fork();
    if (child == 0) {
        // The member: an account of its own whose other group is the list's.
        const gid_t groups[] = {54322};
        QString error;
        const bool ok = (!asMember || (setgroups(1, groups) == 0 && setgid(54323) == 0 && setuid(54323) == 0))
                        && PcipFile::replaceAll("shared/PCIP.dat", one, &error);
        if (!ok)
            qWarning("%s", qPrintable(error));
        _exit(ok ? 0 : 1);
    }
    int status = -1;
    QVERIFY(waitpid(child, &status, 0) == child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QCOMPARE(readFileBytes("shared/PCIP.dat"), one);
    QVERIFY(::stat("shared/PCIP.dat", &after) == 0);
    QVERIFY(after.st_ino != before.st_ino); // a new file swapped in whole, never rewritten in place
    QCOMPARE(after.st_uid, uid_t(asMember ? 54323 : 54321));
    QCOMPARE(after.st_gid, gid_t(54322)); // the other members keep their access
    QCOMPARE(after.st_mode & 07777, mode_t(0664));
#endif
}

void DestinationFileTest::rewriteWhereTheFolderTakesNoNewFile()
{
#ifdef Q_OS_WIN
    QSKIP("a folder that refuses new files to one user is set up here with POSIX rights");
#else
    if (geteuid() != 0)
        QSKIP("acting as another user needs root (as in CI)");
    ScopedWorkDir dir;
    QVERIFY(QDir().mkdir("shared") && QDir().mkdir("home"));
    const QByteArray three = ::recordBytes(-1, "A", "1") + ::recordBytes(0, "B", "2") + ::recordBytes(-1, "C", "3");
    writeFileBytes(three, "shared/PCIP.dat");
    // The user may write the list but not create files beside it.
    QVERIFY(::chown("shared/PCIP.dat", 54321, 54321) == 0 && ::chmod("shared", 0755) == 0);
    QVERIFY(::chown("home", 54321, 54321) == 0 && ::chmod(QFile::encodeName(dir.path()), 0755) == 0);
    const pid_t child = fork();
    if (child == 0) {
        qputenv("HOME", QFile::encodeName(dir.file("home")));
        QStandardPaths::setTestModeEnabled(false);
        QString error;
        RecordingWriter writer;
        const bool ok = setgid(54321) == 0 && setuid(54321) == 0
                        && PcipFile::replaceAll("shared/PCIP.dat", three.left(37) + three.right(37), &error, writer);
        if (!ok)
            qWarning("%s", qPrintable(error));
        // The journal, complete and synced, before the list is touched;
        // never the list written over directly.
        const QStringList journalWay{"replace PCIP.dat: " + kCannotCreate, "replace journal: " + kWritten,
                                     "overwrite PCIP.dat: ok"};
        if (ok && writer.log != journalWay)
            qWarning("%s", qPrintable(writer.log.join(" / ")));
        _exit(!ok ? 1 : writer.log != journalWay ? 2 : 0);
    }
    int status = -1;
    QVERIFY(waitpid(child, &status, 0) == child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(readFileBytes("shared/PCIP.dat"), three.left(37) + three.right(37));
    QVERIFY(QDir("home/.local/share/Wispleaf/journals").isEmpty());
#endif
}

void DestinationFileTest::inPlaceRewriteEndsAsTheUserWasTold_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("failingOverwrites"); // "untouched:" before "how": overwrites that cannot open the file
    QTest::addColumn<QStringList>("steps");  // of the delete, where there is one
    QTest::addColumn<bool>("opens");         // the next opening of the list
    QTest::addColumn<QString>("listAfter"); // when it has opened
    const QString journal = "replace journal: " + kWritten;
    const QString noNewFile = "replace PCIP.dat: " + kCannotCreate;
    QTest::newRow("a delete where the folder takes no new file")
        << "delete" << 0 << QStringList{noNewFile, journal, "overwrite PCIP.dat: ok"} << true << "new";
    QTest::newRow("the overwrite fails, the old list is put back at once")
        << "delete" << 1 << QStringList{noNewFile, journal, "overwrite PCIP.dat: failed", "overwrite PCIP.dat: ok"}
        << true << "old";
    QTest::newRow("putting it back fails too, the next opening does it")
        << "delete" << 2
        << QStringList{noNewFile, journal, "overwrite PCIP.dat: failed", "overwrite PCIP.dat: failed", journal}
        << true << "old";
    QTest::newRow("cut short by a crash: finished at the next opening") << "crash" << 0 << QStringList() << true << "new";
    QTest::newRow("a journal that cannot be read changes nothing")
        << "unreadable journal" << 0 << QStringList() << false << "torn";
    QTest::newRow("a journal never complete is dropped") << "incomplete journal" << 0 << QStringList() << true << "old";
    QTest::newRow("a damaged journal is dropped") << "damaged journal" << 0 << QStringList() << true << "torn";
    QTest::newRow("the list could not be opened: nothing to put back, no journal")
        << "untouched delete" << 2 << QStringList{noNewFile, journal, "overwrite PCIP.dat: untouched"} << true << "old";
    QTest::newRow("the same, then a colleague's change stays")
        << "untouched delete, colleague" << 2 << QStringList{noNewFile, journal, "overwrite PCIP.dat: untouched"}
        << true << "colleague's";
    QTest::newRow("not put back, then a colleague's change stays")
        << "delete, colleague" << 2
        << QStringList{noNewFile, journal, "overwrite PCIP.dat: failed", "overwrite PCIP.dat: failed", journal}
        << true << "colleague's";
    // Only the digest tells: the same size, the time stamp put back.
    QTest::newRow("not put back, then a colleague's change of the same size stays")
        << "delete, colleague of the same size" << 2
        << QStringList{noNewFile, journal, "overwrite PCIP.dat: failed", "overwrite PCIP.dat: failed", journal}
        << true << "colleague's, same size";
}

void DestinationFileTest::inPlaceRewriteEndsAsTheUserWasTold()
{
    QFETCH(QString, how);
    QFETCH(int, failingOverwrites);
    QFETCH(QStringList, steps);
    QFETCH(bool, opens);
    QFETCH(QString, listAfter);
    ScopedWorkDir dir;
    const QByteArray old = ::recordBytes(-1, "A", "1") + ::recordBytes(0, "B", "2") + ::recordBytes(-1, "C", "3");
    const QByteArray now = old.left(37) + old.right(37);
    const QByteArray torn = now + old.mid(now.size(), 10);
    const QByteArray colleagues = old + ::recordBytes(-1, "D", "4");
    QByteArray sameSize;
    writeFileBytes(old);
    InPlaceRewrite rewrite("PCIP.dat");
    const QString journalPath = rewrite.journalPath();
    const auto removeJournal = qScopeGuard([&] { QDir(journalPath).removeRecursively() || QFile::remove(journalPath); });

    QString error;
    if (how.contains("delete")) {
        RecordingWriter writer;
        writer.refuseNewFileFor = "PCIP.dat";
        (how.startsWith("untouched") ? writer.untouchedOverwrites : writer.failingOverwrites) = failingOverwrites;
        QCOMPARE(PcipFile::replaceAll("PCIP.dat", now, &error, writer), failingOverwrites == 0);
        QCOMPARE(writer.log, steps);
        QCOMPARE(error.isEmpty(), failingOverwrites == 0);
        if (how.endsWith("colleague")) {
            QTest::qWait(20); // a later time stamp, as another PC's write would have
            writeFileBytes(colleagues);
        } else if (how.endsWith("of the same size")) {
            const QDateTime stamp = QFileInfo(QStringLiteral("PCIP.dat")).lastModified();
            sameSize = readFileBytes();
            sameSize[2] = sameSize[2] == 'Z' ? 'Y' : 'Z'; // the first name's first letter
            writeFileBytes(sameSize);
            QFile file(QStringLiteral("PCIP.dat"));
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(stamp, QFileDevice::FileModificationTime));
        }
    } else if (how == "crash") {
        QVERIFY(rewrite.writeJournal(now, &error));
        writeFileBytes(torn);
    } else if (how == "unreadable journal") {
        writeFileBytes(torn);
        QVERIFY(QDir().mkpath(journalPath));
    } else if (how == "incomplete journal") {
        QVERIFY(rewrite.writeJournal(now, &error));
        QFile journal(journalPath);
        QVERIFY(journal.open(QIODevice::ReadWrite) && journal.resize(journal.size() - 1));
    } else if (how == "damaged journal") {
        // The right length, a record's byte changed: the digest tells.
        writeFileBytes(torn);
        QVERIFY(rewrite.writeJournal(now, &error));
        QFile journal(journalPath);
        QVERIFY(journal.open(QIODevice::ReadWrite));
        QByteArray bytes = journal.readAll();
        bytes[bytes.indexOf(now) + 3] ^= 0x20;
        QVERIFY(journal.seek(0) && journal.write(bytes) == bytes.size());
    }

    PcipFile file;
    QCOMPARE(file.open(), opens);
    file.close();
    // The user is told why a failed change did not come back.
    QCOMPARE(file.notice().contains(QStringLiteral("そのままにしました")), how.startsWith("delete, colleague"));
    if (!opens)
        QVERIFY2(file.errorString().contains(QDir::toNativeSeparators(journalPath)), qPrintable(file.errorString()));
    else
        QVERIFY(!QFileInfo::exists(journalPath));
    const QMap<QString, QByteArray> lists{
        {"old", old}, {"new", now}, {"torn", torn}, {"colleague's", colleagues}, {"colleague's, same size", sameSize}};
    QCOMPARE(readFileBytes().toHex(' '), lists.value(listAfter).toHex(' '));
}

void DestinationFileTest::recordLimit()
{
    ScopedWorkDir dir;
    writeFileBytes(QByteArray(PcipFile::kMaxRecords * PCIPRecord::kSize, '\0'));
    PcipFile file;
    QVERIFY(file.open());
    QVERIFY(!file.append(makeRecord(0, "one too many", "1.1.1.1")));
    QVERIFY(file.errorString().contains(QStringLiteral("32766")));
    QCOMPARE(file.size(), qint64(PcipFile::kMaxRecords) * PCIPRecord::kSize);
    QList<PCIPRecord> records;
    QVERIFY(file.readAll(&records));
    QCOMPARE(records.size(), PcipFile::kMaxRecords);
}

void DestinationFileTest::numericText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    const QStringList yes{"0", "192", "256", "999", "007", " 12 ", "\t3", "+1", "-1", "1.", ".5", "1.5",
                          "1e3", "1E3", "1e+3", "1e-3", "-.5e2"};
    const QStringList no{"", " ", "abc", "1a", "nan", "NaN", "inf", "Infinity", "0x1F", "&H1F", "1,000",
                         "1.2.3", "1e922", "--1", "+-1", "e3", "1e", "1e+", ".", "+", "1 2", "１２", "1d3"};
    for (const QString &text : yes)
        QTest::addRow("yes \"%s\"", qPrintable(text)) << text << true;
    for (const QString &text : no)
        QTest::addRow("no \"%s\"", qPrintable(text)) << text << false;
}

void DestinationFileTest::numericText()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(DestinationInput::isNumericText(text), numeric);
}

void DestinationFileTest::inputVerdicts_data()
{
    using V = DestinationInput::Verdict;
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<V>("verdict");
    QTest::newRow("valid") << "PC1" << QStringList{"192", "168", "0", "10"} << V::Valid;
    QTest::newRow("256 has no range check") << "PC1" << QStringList{"256", "999", "0", "1"} << V::Valid;
    QTest::newRow("blank name is a name") << "  " << QStringList{"1", "2", "3", "4"} << V::Valid;
    QTest::newRow("empty name") << "" << QStringList{"1", "2", "3", "4"} << V::EmptyField;
    QTest::newRow("empty part") << "PC" << QStringList{"1", "", "3", "4"} << V::EmptyField;
    QTest::newRow("letters") << "PC" << QStringList{"1", "2", "x", "4"} << V::NotNumeric;
    QTest::newRow("four characters") << "PC" << QStringList{"1000", "2", "3", "4"} << V::TooLong;
    QTest::newRow("empty beats letters") << "" << QStringList{"a", "2", "3", "4"} << V::EmptyField;
}

void DestinationFileTest::inputVerdicts()
{
    QFETCH(QString, name);
    QFETCH(QStringList, parts);
    QFETCH(DestinationInput::Verdict, verdict);
    QCOMPARE(DestinationInput::check(name, parts), verdict);
}

void DestinationFileTest::addressSplit_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QString>("host"); // what the connect scan asks for
    QTest::newRow("plain") << "192.168.0.10" << QStringList{"192", "168", "0", "10"} << "192.168.0.10";
    // Decimal as the boxes show it, never octal.
    QTest::newRow("leading zeros") << "192.168.000.010" << QStringList{"192", "168", "000", "010"} << "192.168.0.10";
    QTest::newRow("08 is eight") << "10.08.0.9" << QStringList{"10", "08", "0", "9"} << "10.8.0.9";
    QTest::newRow("extra dots go to the last part") << "1.5.2.3.4" << QStringList{"1", "5", "2", "3.4"} << "1.5.2.3.4";
    QTest::newRow("two dots") << "1.2.3" << QStringList{"1", "2", "3", ""} << "1.2.3";
    QTest::newRow("no dot") << "host" << QStringList{"host", "", "", ""} << "host";
    QTest::newRow("a part not of digits") << "1.2.3.1e2" << QStringList{"1", "2", "3", "1e2"} << "1.2.3.1e2";
    QTest::newRow("empty") << "" << QStringList{"", "", "", ""} << "";
    QTest::newRow("dots only") << "..." << QStringList{"", "", "", ""} << "...";
}

void DestinationFileTest::addressSplit()
{
    QFETCH(QString, address);
    QFETCH(QStringList, parts);
    QFETCH(QString, host);
    QCOMPARE(DestinationInput::splitAddress(address), parts);
    QCOMPARE(DestinationInput::hostToConnect(address), host);
}

QTEST_GUILESS_MAIN(DestinationFileTest)
#include "tst_destinationfile.moc"

// Links in the conversation: what becomes one (a table), what a click
// opens, and that a program is never started.
#include "codepage932.h"
#include "links.h"
#include "mainwindowharness.h"
#include "testsupport.h"

#include <QDesktopServices>
#include <QScopeGuard>
#include <QTest>
#include <QTextCursor>

class LinksTest final : public QObject
{
    Q_OBJECT
private slots:
    void found_data();
    void found();
    void programs_data();
    void programs();
    void clickOpens_data();
    void clickOpens();

public slots:
    void record(const QUrl &url) { m_opened << url.toString(); }

private:
    QStringList m_opened;
};

void LinksTest::found_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("links"); // each as it stands in the text
    QTest::newRow("Japanese punctuation after") << "資料はhttps://example.jp/a?b=1。確認を" << QStringList{"https://example.jp/a?b=1"};
    QTest::newRow("a comma and a full stop") << "見て、http://x.example/、それと http://y.example/p." 
                                             << QStringList{"http://x.example/", "http://y.example/p"};
    QTest::newRow("in parentheses") << "(http://x.example/a) と（https://y.example/b）"
                                    << QStringList{"http://x.example/a", "https://y.example/b"};
    QTest::newRow("its own parentheses") << "https://en.example/wiki/A_(b)" << QStringList{"https://en.example/wiki/A_(b)"};
    QTest::newRow("mail") << "連絡はmailto:hanako@example.jp まで" << QStringList{"mailto:hanako@example.jp"};
    QTest::newRow("a share path") << "ここ→\\\\fileserv\\営業\\見積.xlsx" << QStringList{"\\\\fileserv\\営業\\見積.xlsx"};
    QTest::newRow("a share path with spaces, then the next line")
        << "\\\\fileserv\\共有\\2026 年度\\見積 A.xlsx  \n次の行" << QStringList{"\\\\fileserv\\共有\\2026 年度\\見積"};
    QTest::newRow("file with a host") << "file://fileserv/share/a.txt" << QStringList{"file://fileserv/share/a.txt"};
    QTest::newRow("no link: file without a host") << "file:///etc/passwd" << QStringList();
    QTest::newRow("no link: file on this PC") << "file://localhost/etc/passwd" << QStringList();
    QTest::newRow("no link: javascript") << "javascript:alert(1)" << QStringList();
    QTest::newRow("no link: data") << "data:text/html,<b>x</b>" << QStringList();
    QTest::newRow("no link: a scheme inside a word") << "xhttp://a.example/" << QStringList();
    QTest::newRow("no link: no host") << "http:// と \\\\\\a" << QStringList();
    QTest::newRow("no link: markup stays text") << "<a href=\"javascript:x\">見て</a>" << QStringList();
}

void LinksTest::found()
{
    QFETCH(QString, text);
    QFETCH(QStringList, links);
    QStringList seen;
    for (const Links::Link &link : Links::find(text))
        seen << text.sliced(link.from, link.to - link.from);
    QCOMPARE(seen, links);
}

void LinksTest::programs_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("program");
    for (const char *program : {"a.exe", "a.BAT", "a.cmd", "a.com", "a.scr", "a.msi", "a.ps1", "a.vbs", "a.js", "a.jse",
                                "a.wsf", "a.lnk", "a.hta", "a.cpl", "a.jar", "README"})
        QTest::addRow("%s", program) << QStringLiteral("\\share\\") + program << true;
    for (const char *document : {"見積.xlsx", "a.txt", "a.pdf", "dir\\"})
        QTest::addRow("%s", document) << QStringLiteral("\\share\\") + document << false;
}

void LinksTest::programs()
{
    QFETCH(QString, path);
    QFETCH(bool, program);
    QCOMPARE(Links::namesProgram(path), program);
}

void LinksTest::clickOpens_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("answer"); // to the share question: "open", "cancel" or "" (none asked)
    QTest::addColumn<QStringList>("opened");
#ifdef Q_OS_WIN
    const QString share = "file://fileserv/営業/見積.xlsx", folder = "file://fileserv/営業/";
    const QString fileShare = "file://fileserv/eigyo/a.xlsx";
#else
    const QString share = "smb://fileserv/営業/見積.xlsx", folder = "smb://fileserv/営業/";
    const QString fileShare = "smb://fileserv/eigyo/a.xlsx";
#endif
    QTest::newRow("a web address") << "見て https://example.jp/a です" << "" << QStringList{"https://example.jp/a"};
    QTest::newRow("a share, opened") << "\\\\fileserv\\営業\\見積.xlsx" << "open" << QStringList{share, share};
    QTest::newRow("a share, not opened") << "\\\\fileserv\\営業\\見積.xlsx" << "cancel" << QStringList();
    // A file address with a host is a share too: the sign-in goes there.
    QTest::newRow("a file address of a share, opened") << "file://fileserv/eigyo/a.xlsx" << "open"
                                                       << QStringList{fileShare, fileShare};
    QTest::newRow("a file address of a share, not opened") << "file://fileserv/eigyo/a.xlsx" << "cancel"
                                                           << QStringList();
    QTest::newRow("a program: its folder") << "\\\\fileserv\\営業\\setup.exe" << "open" << QStringList{folder, folder};
}

void LinksTest::clickOpens()
{
    QFETCH(QString, line);
    QFETCH(QString, answer);
    QFETCH(QStringList, opened);
#ifdef Q_OS_WIN
    if (line.endsWith(".exe"))
        QSKIP("Windows shows it through Explorer's /select, which no URL handler sees");
#endif
    for (const char *scheme : {"http", "https", "file", "smb"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "record");
    const auto unset = qScopeGuard([] {
        for (const char *scheme : {"http", "https", "file", "smb"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    });
    m_opened.clear();
    WindowWithServer fixture;
    MainWindowHarness &w = fixture.w;
    QVERIFY(w.join(fixture.server, QStringLiteral("太郎")));
    fixture.server.sendToAll(Cp932::encode("m/*/山田: " + line));
    QTRY_COMPARE_WITH_TIMEOUT(w.Text3->text(), "山田: " + line, 5000);
    const QList<Links::Link> links = Links::find(w.Text3->text());
    QCOMPARE(links.size(), 1);
    QTextCursor inside(w.Text3->document());
    inside.setPosition(int(links[0].from + 2));
    const QPoint at = w.Text3->cursorRect(inside).center();
    MessageBoxWatcher boxes(answer == "cancel" ? QMessageBox::Cancel : QMessageBox::Open);
    // Twice: a share's host is asked about once a run.
    QTest::mouseMove(w.Text3->viewport(), at + QPoint(0, 40)); // from elsewhere: a hand only over it
    QTRY_COMPARE_WITH_TIMEOUT(w.Text3->viewport()->cursor().shape(), Qt::IBeamCursor, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(w.Text3->viewport()->cursor().shape() == Qt::PointingHandCursor
                                 || (QTest::mouseMove(w.Text3->viewport(), at), false),
                             2000);
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(w.Text3->viewport(), Qt::LeftButton, {}, at);
        QTest::qWait(100);
        if (answer.isEmpty())
            break;
    }
    QCOMPARE(m_opened, opened);
    QCOMPARE(boxes.seen().size(), answer.isEmpty() ? 0 : answer == "open" ? 1 : 2);
    if (!answer.isEmpty()) {
        QCOMPARE(boxes.seen().first().text,
                 QStringLiteral("\\\\fileserv の共有を開きますか？ このPCのサインイン情報が fileserv に送られます"));
        QCOMPARE(boxes.seen().first().defaultButton, QMessageBox::Cancel);
    }
}

QTEST_MAIN(LinksTest)
#include "tst_links.moc"

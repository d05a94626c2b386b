// Links in the conversation: what becomes one (a table), what a click
// opens, and that a program is never started.
#include "codepage932.h"
#include "displayfield.h"
#include "linklayer.h"
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
    void kinds_data();
    void kinds();
    void mailDraftsKeepOnlySubjectAndBody_data();
    void mailDraftsKeepOnlySubjectAndBody();
    void aLinkIsLookedForInTheTextAsItIs();
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
        << "\\\\fileserv\\共有\\2026 年度\\見積 A.xlsx  \n次の行" << QStringList{"\\\\fileserv\\共有\\2026 年度\\見積 A.xlsx"};
    QTest::newRow("a space before the last word, Japanese after")
        << "\\\\fileserv\\営業\\見積 A.xlsx です" << QStringList{"\\\\fileserv\\営業\\見積 A.xlsx"};
    QTest::newRow("Latin words of a name") << "\\\\fileserv\\share\\my report v2.docx を見て"
                                           << QStringList{"\\\\fileserv\\share\\my report v2.docx"};
    QTest::newRow("a whole file name ends it") << "\\\\fileserv\\share\\a.txt and b.txt"
                                               << QStringList{"\\\\fileserv\\share\\a.txt"};
    QTest::newRow("Japanese without an extension ends it") << "\\\\fileserv\\営業\\見積 です。"
                                                           << QStringList{"\\\\fileserv\\営業\\見積"};
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

void LinksTest::kinds_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("opens"); // else only shown in its folder
    const QStringList documents{"見積.xlsx", "a.PDF", "a.txt", "a.csv", "a.tsv", "a.log", "a.docx", "a.pptx",
                                "写真.JPG", "a.jpeg", "a.png", "a.gif", "a.bmp", "a.webp", "a.tif", "a.tiff",
                                "v1.2.report.pdf", "dir\\"};
    for (const QString &document : documents)
        QTest::addRow("%s", qPrintable(document)) << "\\\\fileserv\\share\\" + document << true;
    // Programs, scripts, launchers, and anything else that may run.
    const QStringList others{"setup.exe", "a.BAT", "a.cmd", "a.com", "a.scr", "a.msi", "a.ps1", "a.vbs", "a.vbe",
                             "a.js", "a.jse", "a.wsf", "a.wsh", "a.lnk", "a.hta", "a.cpl", "a.jar", "report.pif",
                             "install.sh", "viewer.AppImage", "start.desktop", "a.msc", "a.url", "a.scf",
                             "a.appref-ms", "a.application", "a.reg", "a.chm", "a.settingcontent-ms", "a.docm",
                             "a.xlsm", "a.doc", "a.xls", "a.svg", "a.html", "README", "a.pdf.exe"};
    for (const QString &other : others)
        QTest::addRow("%s", qPrintable(other)) << "\\\\fileserv\\share\\" + other << false;
    // As Windows reads a name.
    QTest::newRow("trailing dots and spaces: a.exe") << "\\\\fileserv\\share\\a.exe. . " << false;
    QTest::newRow("trailing dots and spaces: a.txt") << "\\\\fileserv\\share\\a.txt.." << true;
    QTest::newRow("an alternate data stream") << "\\\\fileserv\\share\\a.txt:run.exe" << false;
    QTest::newRow("a stream of a document") << "\\\\fileserv\\share\\a.exe:x.txt" << false;
    QTest::newRow("a dot alone") << "\\\\fileserv\\share\\." << false;
    QTest::newRow("a file address") << "/share/a.pdf" << true;
}

void LinksTest::kinds()
{
    QFETCH(QString, path);
    QFETCH(bool, opens);
    QCOMPARE(Links::opensAsDocument(path), opens);
}

void LinksTest::mailDraftsKeepOnlySubjectAndBody_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("url");
    QTest::newRow("attach and cc dropped")
        << "mailto:a@example.jp?subject=Hello&attach=%2Fhome%2Fx%2F.ssh%2Fid_rsa&body=Hi&cc=b@example.jp"
        << "mailto:a@example.jp?subject=Hello&body=Hi";
    QTest::newRow("only unknown fields") << "mailto:a@example.jp?ATTACHMENT=/etc/passwd&file=x&to=c@example.jp"
                                         << "mailto:a@example.jp";
    QTest::newRow("any case") << "mailto:a@example.jp?Subject=x&BODY=y" << "mailto:a@example.jp?Subject=x&BODY=y";
}

void LinksTest::mailDraftsKeepOnlySubjectAndBody()
{
    QFETCH(QString, text);
    QFETCH(QString, url);
    const QList<Links::Link> links = Links::find(text);
    QCOMPARE(links.size(), 1);
    QCOMPARE(links[0].url.toString(QUrl::FullyEncoded), url);
}

void LinksTest::aLinkIsLookedForInTheTextAsItIs()
{
    DisplayField field;
    LinkLayer layer(&field);
    field.resize(400, 200);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    const QString withLink = QStringLiteral("山田: 資料は https://example.jp/a にあります");
    field.changeText(QString(), 0, 0, withLink);
    QTest::qWait(20); // the drawn ranges follow
    QTextCursor inside(field.document());
    inside.setPosition(int(withLink.indexOf(QStringLiteral("example"))));
    const QPoint at = field.cursorRect(inside).center();
    QVERIFY(layer.linkAt(at));
    // Replaced in the same turn of the event loop, before the drawn
    // ranges follow: the old link is not under the point any more.
    field.changeText(QString(), 0, 0, QStringLiteral("佐藤: 見積はまだです、あとで送ります。よろしく"));
    QVERIFY(!layer.linkAt(at));
    field.changeText(QString(), 0, 0, QStringLiteral("佐藤: 短い"));
    QVERIFY(!layer.linkAt(at)); // past the end of a shorter text
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
    for (const char *other : {"report.pif", "install.sh", "viewer.AppImage", "start.desktop", "見積"})
        QTest::addRow("not a document, %s: its folder", other)
            << QStringLiteral("\\\\fileserv\\営業\\%1 です").arg(QString::fromUtf8(other)) << "open" << QStringList{folder, folder};
    QTest::newRow("a PDF with a space in its name: opened")
        << "\\\\fileserv\\営業\\見積 A.pdf です" << "open" << QStringList{folder + "見積 A.pdf", folder + "見積 A.pdf"};
}

void LinksTest::clickOpens()
{
    QFETCH(QString, line);
    QFETCH(QString, answer);
    QFETCH(QStringList, opened);
#ifdef Q_OS_WIN
    if (!opened.isEmpty() && opened.first().endsWith(u'/'))
        QSKIP("Windows shows it in its folder through the shell, which no URL handler sees");
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

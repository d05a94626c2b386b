#include "aboutwindow.h"
#include "commandline.h"
#include "codepage932.h"
#include "form2.h"
#include "helpopener.h"
#include "destinationwindowharness.h"
#include "mainwindowharness.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <string>
#endif

class AboutTest final : public QObject
{
    Q_OBJECT
private slots:
    void versionWindowCloses_data();
    void versionWindowCloses();
    void helpMenusPassTheirOwnWindow();
    void helpFileBesideTheProgramOrInstalled_data();
    void helpFileBesideTheProgramOrInstalled();
    void helpFileIsBuiltBesideTheProgram();
    void versionResourceOfTheProgram();
    void commandLine_data();
    void commandLine();
    void workFolderFromTheCommandLine();
};

void AboutTest::versionWindowCloses_data()
{
    QTest::addColumn<int>("key"); // 0: a click on OK
    QTest::newRow("OK") << 0;
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void AboutTest::versionWindowCloses()
{
    QFETCH(int, key);
    ScopedWorkDir dir;
    MainWindowHarness w(5000);
    // Twice: the captions are set on every opening.
    for (int opening = 0; opening < 2; ++opening) {
        QStringList captions;
        bool okPressed = false;
        onceModal("frmAbout", [&](QWidget *about) {
            captions << about->windowTitle() << about->findChild<QLabel *>("lblTitle")->text()
                     << about->findChild<QLabel *>("lblVersion")->text();
            auto *ok = about->findChild<QPushButton *>("cmdOK");
            connect(ok, &QPushButton::clicked, about, [&okPressed] { okPressed = true; });
            if (key == 0)
                ok->click();
            else
                QTest::keyClick(about, Qt::Key(key));
        });
        w.find<QAction>("h11_0")->trigger(); // returns once the window has closed
        QCOMPARE(captions, (QStringList{"Wispleafのﾊﾞｰｼﾞｮﾝ情報", "Wispleaf", "ﾊﾞｰｼﾞｮﾝ 1.0.37"}));
        QVERIFY(okPressed);
        QVERIFY(!QApplication::activeModalWidget());
    }
}

void AboutTest::helpMenusPassTheirOwnWindow()
{
    ScopedWorkDir dir;
    QList<QPair<QWidget *, QString>> opened;
    const HelpOpener record = [&opened](QWidget *owner, const QString &path) { opened.append({owner, path}); };
    const QString expectedPath = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/Wispline.chm");

    MainWindowHarness w(5000);
    w.window->setHelpOpener(record);
    w.find<QAction>("h11_1")->trigger();

    Form2 form;
    form.setHelpOpener(record);
    whileOpen(form, [&form](Controls &) { form.findChild<QAction *>("h11_0")->trigger(); });

    const QList<QPair<QWidget *, QString>> expected{{w.window.get(), expectedPath}, {&form, expectedPath}};
    QCOMPARE(opened, expected);
    // The separator is added even after a root folder.
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    QCOMPARE(::helpFilePath(root), root + QDir::toNativeSeparators("/Wispline.chm"));
}

void AboutTest::helpFileBesideTheProgramOrInstalled_data()
{
    QTest::addColumn<QStringList>("present"); // folders holding a help file
    QTest::addColumn<QString>("dataFolder");
    QTest::addColumn<QString>("opened");
    QTest::newRow("only installed") << QStringList{"data"} << "data" << "data";
    QTest::newRow("beside the program first") << QStringList{"program", "data"} << "data" << "program";
    QTest::newRow("none: beside the program") << QStringList() << "data" << "program";
    QTest::newRow("no data folder (Windows)") << QStringList{"data"} << "" << "program";
}

void AboutTest::helpFileBesideTheProgramOrInstalled()
{
    QFETCH(QStringList, present);
    QFETCH(QString, dataFolder);
    QFETCH(QString, opened);
    ScopedWorkDir dir;
    for (const QString &folder : {QStringLiteral("program"), QStringLiteral("data")})
        QVERIFY(QDir().mkdir(folder));
    for (const QString &folder : std::as_const(present))
        writeFileBytes("help", ::helpFilePath(dir.file(folder)));
    QCOMPARE(findHelpFile(dir.file("program"), dataFolder.isEmpty() ? QString() : dir.file(dataFolder)),
             ::helpFilePath(dir.file(opened)));
}

void AboutTest::helpFileIsBuiltBesideTheProgram()
{
    const QString chm = QStringLiteral(WISPLEAF_APP_DIR "/Wispline.chm");
    if (QStandardPaths::findExecutable("chmcmd").isEmpty())
        QSKIP("chmcmd is not installed, so the help file is not built");
    QVERIFY2(QFileInfo::exists(chm), qPrintable(chm));
    QProcess chmls;
    chmls.start("chmls", {chm});
    QVERIFY(chmls.waitForFinished(10000));
    const QString listing = QString::fromLocal8Bit(chmls.readAllStandardOutput());
    for (const char *page : {"/index.html", "/connect.html", "/destinations.html", "/trouble.html"})
        QVERIFY2(listing.contains(QLatin1String(page)), page);

    // The help viewer reads contents and index in the help's code page, 932.
    ScopedWorkDir dir;
    for (const char *file : {"/toc.hhc", "/index.hhk"}) {
        QProcess extract;
        extract.start("chmls", {"extract", chm, QLatin1String(file), "extracted"});
        QVERIFY(extract.waitForFinished(10000));
        const QByteArray bytes = readFileBytes("extracted");
        QVERIFY2(bytes.contains(Cp932::encode(QStringLiteral("接続先リスト"))), file);
        QVERIFY2(bytes.contains("charset=Shift_JIS"), file);
    }
}

void AboutTest::versionResourceOfTheProgram()
{
#ifndef Q_OS_WIN
    QSKIP("the version resource is part of the Windows executable");
#else
    const std::wstring exe = QDir::toNativeSeparators(QStringLiteral(WISPLEAF_APP_DIR "/Wispleaf.exe")).toStdWString();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    QVERIFY(size > 0);
    QByteArray info(int(size), '\0');
    QVERIFY(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    QVERIFY(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
    const QList<int> fileVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                                 HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
    QCOMPARE(fileVersion, (QList<int>{1, 0, 0, 37}));
    auto text = [&info](const wchar_t *name) {
        wchar_t *value = nullptr;
        UINT chars = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
        if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void **>(&value), &chars) || chars == 0)
            return QString();
        return QString::fromWCharArray(value, int(chars) - 1);
    };
    QCOMPARE(text(L"FileVersion"), QStringLiteral("1.00.0037"));
    QCOMPARE(text(L"ProductVersion"), QStringLiteral("1.00.0037"));
    QCOMPARE(text(L"ProductName"), QStringLiteral("Wispleaf"));
    QCOMPARE(text(L"CompanyName"), QStringLiteral("Wispleaf developers"));
    QCOMPARE(text(L"FileDescription"), QStringLiteral("チャットアプリケーション"));
#endif
}

void AboutTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("error");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--version" << "";
    QTest::newRow("help names the off switch") << QStringList{"--help"} << 0 << "--no-notifications" << "";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "Wispleaf 1.0.37" << "";
    QTest::newRow("help with Qt's options") << QStringList{"--help-all"} << 0 << "window system plugin" << "";
    QTest::newRow("Qt's options pass through") << QStringList{"-name", "wl", "-style", "Fusion", "-sync", "--version"}
                                               << 0 << "Wispleaf 1.0.37" << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "" << "bogus";
    QTest::newRow("stray argument") << QStringList{"PCIP.dat"} << 2 << "" << "PCIP.dat";
}

void AboutTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, error);
    // No display at all: answering must not need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(WISPLEAF_APP_DIR "/Wispleaf"), arguments);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(out.contains(output) && (output.isEmpty() || err.isEmpty()), qPrintable(out + err));
    QVERIFY2(err.contains(error) && (error.isEmpty() || out.isEmpty()), qPrintable(out + err));
}

void AboutTest::workFolderFromTheCommandLine()
{
    const CommandLine options =
        CommandLine::parse({"Wispleaf", "--work-folder", "%LOCALAPPDATA%\\Wispleaf", "--no-notifications"});
    QCOMPARE(options.workFolder, QStringLiteral("%LOCALAPPDATA%\\Wispleaf"));
    QVERIFY(!options.notifications);
    QVERIFY(CommandLine::parse({"Wispleaf"}).notifications);
    // As a shortcut for every user gives it: the variable is the user's.
    ScopedWorkDir dir;
    qputenv("WISPLEAF_TEST_HOME", QFile::encodeName(dir.file("user")));
    QString error;
    QVERIFY2(enterWorkFolder(QStringLiteral("%WISPLEAF_TEST_HOME%/Wispleaf"), &error), qPrintable(error));
    qunsetenv("WISPLEAF_TEST_HOME");
    QCOMPARE(QDir::current().canonicalPath(), QFileInfo(dir.file("user/Wispleaf")).canonicalFilePath());
    // Where no folder can be made, the reason names it.
    writeFileBytes("", dir.file("file"));
    QVERIFY(!enterWorkFolder(dir.file("file/Wispleaf"), &error));
    QVERIFY(error.contains(QStringLiteral("file")));
}

QTEST_MAIN(AboutTest)
#include "tst_about.moc"

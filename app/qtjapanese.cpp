#include "qtjapanese.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

bool installQtJapanese(QCoreApplication *app)
{
    const QStringList folders{QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    auto *translator = new QTranslator(app);
    for (const QString &folder : folders) {
        if (translator->load(QStringLiteral("qtbase_ja"), folder))
            return QCoreApplication::installTranslator(translator);
    }
    delete translator;
    return false;
}

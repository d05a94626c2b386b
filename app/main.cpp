#include "form1.h"
#include "wispleafversion.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wispleaf"));
    QApplication::setApplicationVersion(QStringLiteral(WISPLEAF_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.wispleaf.Wispleaf"));
    form1 window;
    window.show();
    return app.exec();
}

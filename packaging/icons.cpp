// Makes the desktop icons from the program's one 32 x 32 picture:
//   wispleaf-icons <picture.xpm> <hicolor folder> <name>
// writes <hicolor>/<n>x<n>/apps/<name>.png for the sizes desktops ask for,
// and <hicolor>/scalable/apps/<name>.svg, one square per pixel, so that
// every size shows the same picture.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fputs("usage: wispleaf-icons <picture> <hicolor folder> <name>\n", stderr);
        return 2;
    }
    const QImage picture = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    const QString hicolor = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    if (picture.isNull()) {
        std::fprintf(stderr, "wispleaf-icons: cannot read %s\n", argv[1]);
        return 1;
    }
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(hicolor).arg(size);
        // Whole multiples stay sharp; the small sizes are averaged down.
        const Qt::TransformationMode mode = size % picture.width() == 0 ? Qt::FastTransformation
                                                                          : Qt::SmoothTransformation;
        if (!QDir().mkpath(folder)
            || !picture.scaled(size, size, Qt::IgnoreAspectRatio, mode).save(folder + '/' + name + ".png")) {
            std::fprintf(stderr, "wispleaf-icons: cannot write the %dx%d icon\n", size, size);
            return 1;
        }
    }
    const QString folder = hicolor + QStringLiteral("/scalable/apps");
    QFile svg(folder + '/' + name + ".svg");
    if (!QDir().mkpath(folder) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fputs("wispleaf-icons: cannot write the scalable icon\n", stderr);
        return 1;
    }
    QTextStream out(&svg);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %2\" shape-rendering=\"crispEdges\">\n")
               .arg(picture.width())
               .arg(picture.height());
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            if (colour.alpha() == 0)
                continue;
            out << QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"1\" height=\"1\" fill=\"%3\"/>\n")
                       .arg(x)
                       .arg(y)
                       .arg(colour.name());
        }
    }
    out << "</svg>\n";
    return out.status() == QTextStream::Ok ? 0 : 1;
}

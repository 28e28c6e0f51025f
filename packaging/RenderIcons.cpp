// zk4-render-icons: writes the application icon as PNG files for the hicolor icon theme, one
// <folder>/<N>x<N>/apps/<name>.png per size N. Run at build time, so the icon's only source
// stays its drawing code (ui/AppIcon.cpp).
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "ui/AppIcon.h"

int main(int argc, char* argv[]) {
    // Drawing needs a GUI application but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 3) {
        std::fputs("usage: zk4-render-icons FOLDER NAME SIZE...\n", stderr);
        return 2;
    }
    for (const QString& text : args.mid(2)) {
        bool ok = false;
        const int size = text.toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "zk4-render-icons: '%s' is not a size from 1 to 1024\n",
                         qPrintable(text));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[0]).arg(size);
        const QString path = folder + QLatin1Char('/') + args[1] + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !zk4::AppIconPixmap(size).save(path, "PNG")) {
            std::fprintf(stderr, "zk4-render-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

// Draws the program's icon into a hicolor theme tree at build time, from the tray's own globe:
//   make-icons NAME FOLDER  ->  FOLDER/scalable/apps/NAME.svg, FOLDER/<n>x<n>/apps/NAME.png
#include "desktop/GlobeSvg.h"
#include "desktop/TrayFrames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

namespace {

bool writeFile(const QString& file, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(data) == data.size() && out.commit();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-icons NAME FOLDER\n");
        return 2;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    if (!writeFile(folder + QStringLiteral("/scalable/apps/") + name + QStringLiteral(".svg"), gw::globeSvg(256))) {
        std::fprintf(stderr, "make-icons: cannot write the SVG icon\n");
        return 1;
    }
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        const QString file = folder + QStringLiteral("/%1x%1/apps/").arg(size) + name + QStringLiteral(".png");
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (!gw::drawGlobe(size, 0.0).save(file, "PNG")) {
            std::fprintf(stderr, "make-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

// iconsheet: writes the program's icon as a hicolor theme tree, PNGs at the
// usual sizes and the SVG, for installing beside the desktop entry.
//   iconsheet OUTPUT-FOLDER
// Writes OUTPUT-FOLDER/hicolor/NxN/apps/kestrova.png and
// OUTPUT-FOLDER/hicolor/scalable/apps/kestrova.svg.
#include "tools/iconsheet/programicon.h"

#include <QDir>
#include <QSaveFile>
#include <QGuiApplication>

#include <iostream>

namespace {

bool makeFolder(const QString& path)
{
    if (QDir().mkpath(path))
        return true;
    std::cerr << "iconsheet: cannot create " << path.toStdString() << '\n';
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: iconsheet OUTPUT-FOLDER\n";
        return 2;
    }
    const QString theme = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("hicolor"));
    const kestrova::ProgramIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = theme + QStringLiteral("/%1x%1/apps").arg(size);
        const QString path = folder + QStringLiteral("/kestrova.png");
        if (!makeFolder(folder))
            return 1;
        if (!icon.render(size).save(path, "PNG")) {
            std::cerr << "iconsheet: cannot write " << path.toStdString() << '\n';
            return 1;
        }
    }
    const QString folder = theme + QStringLiteral("/scalable/apps");
    QSaveFile svg(folder + QStringLiteral("/kestrova.svg"));
    if (!makeFolder(folder) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(icon.svg().toUtf8()) < 0 || !svg.commit()) {
        std::cerr << "iconsheet: cannot write " << svg.fileName().toStdString() << '\n';
        return 1;
    }
    return 0;
}

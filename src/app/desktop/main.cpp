// Makes the files that put Quenvil into the desktop's menus, from the same code the
// application draws and writes with: the build runs it for the icons, the install for the
// desktop entry (whose Exec= must name the binary where it was installed).
//
//   quenvil_desktop_files icons <dir>               <dir>/hicolor/<size>/apps/<app id>.png|svg
//   quenvil_desktop_files entry <dir> <executable>  <dir>/applications/<app id>.desktop
#include "app/StatusIcon.h"
#include "platform/linux/XdgAutostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <optional>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

bool writeIcons(const QString& dir, const QString& appId)
{
    // What the tray shows while expansion works.
    const QString symbol = StatusIcon::symbol(true, true, false);
    // The sizes icon themes usually offer; the scalable one is drawn at 64, where the halo
    // has its proportions of every size above 22.
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path =
            QStringLiteral("%1/hicolor/%2x%2/apps/%3.png").arg(dir, QString::number(side), appId);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
            !StatusIcon::image(symbol, side).save(path, "PNG"))
            return false;
    }
    return writeFile(QStringLiteral("%1/hicolor/scalable/apps/%2.svg").arg(dir, appId),
                     StatusIcon::svg(symbol, 64));
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing into images needs no display.
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString appId = XdgAutostart::Options().appId;

    bool ok = false;
    if (args.size() == 3 && args.at(1) == QLatin1String("icons")) {
        ok = writeIcons(args.at(2), appId);
    } else if (args.size() == 4 && args.at(1) == QLatin1String("entry")) {
        const std::optional<QByteArray> entry = XdgAutostart::entryFor(args.at(3), appId);
        if (!entry) {
            std::fprintf(stderr, "quenvil_desktop_files: %s cannot be named in a desktop entry\n",
                         qPrintable(args.at(3)));
            return 1;
        }
        ok = writeFile(QStringLiteral("%1/applications/%2.desktop").arg(args.at(2), appId), *entry);
    } else {
        std::fprintf(stderr, "usage: quenvil_desktop_files icons <dir> | entry <dir> <executable>\n");
        return 2;
    }
    if (!ok) {
        std::fprintf(stderr, "quenvil_desktop_files: cannot write into %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}

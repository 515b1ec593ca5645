// What both renderers share: the output folder from the command line, and
// writing a picture there with its path on standard output.
#pragma once

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <optional>

namespace qorv::screenshots {

// The folder named by the first argument, made when missing; nothing after
// a usage or folder error.
inline std::optional<QDir> OutputFolder(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return std::nullopt;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) return std::nullopt;
    return dir;
}

inline bool WritePicture(const QPixmap& picture, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Shows the window, lets it lay out and writes what it draws.
inline bool WriteWindow(QWidget& window, const QDir& dir, const QString& name) {
    window.show();
    QApplication::processEvents();
    return WritePicture(window.grab(), dir, name);
}

}  // namespace qorv::screenshots

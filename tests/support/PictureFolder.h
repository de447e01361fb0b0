#pragma once

#include "imaging/TBitmap.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace zavio::fixtures {

// A temporary folder that tests fill with small pictures and other files.
class PictureFolder {
public:
    PictureFolder();

    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const;

    // A JPEG of the given size, a gradient tinted by seed so every file differs.
    void writeJpeg(const QString& name, int width, int height, int seed = 0);
    void writeBmp(const QString& name, int width, int height, int seed = 0);
    void writeBytes(const QString& name, const QByteArray& bytes);
    // Pictures named prefix001.jpg, prefix002.jpg, ... (1-based).
    void writeNumberedJpegs(int count, const QString& prefix = QStringLiteral("pic"), int width = 16, int height = 12);

    static TBitmap pattern(int width, int height, int seed);

private:
    QTemporaryDir dir_;
};

} // namespace zavio::fixtures

#pragma once

#include "imaging/TBitmap.h"

#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <vector>

namespace zavio::bench {

// The shape of the benchmark's picture folder: count files named
// photo_001.jpg onward, each width x height, encoded at quality.
struct PhotoSetShape {
    int count = 40;
    int width = 4000;
    int height = 3000;
    int quality = 90;
};

// photo_001.jpg for index 0, photo_002.jpg for index 1, and so on.
QString photoFileName(int index);

// A photo-like picture: a smooth two-way gradient whose direction and colours
// depend on index, with per-channel noise of at most +-20 on top so that it
// compresses like a real photograph. The same index always gives the same pixels.
TBitmap makePhoto(int index, int width, int height);

// Whether the file is a whole JPEG of the given size: its header reads, it ends
// with the end-of-image marker. Reads only the head and the tail of the file.
bool isCompletePhoto(const QString& path, int width, int height);

// Writes every file of the set that is missing or not complete, on threads
// threads, each holding one picture at a time; files are written atomically.
// Returns how many files were written. Throws PictureError on failure.
int ensurePhotoSet(const QString& folder, const PhotoSetShape& shape, int threads);

// The average size of the set's files in megabytes (1024 * 1024 bytes).
double averageFileMb(const QString& folder, const PhotoSetShape& shape);

// The first photo of the default shape, written unless it is there already,
// in folder or, when that is empty, in a temporary folder removed with this.
class FirstPhoto {
public:
    explicit FirstPhoto(const QString& folder);
    const PhotoSetShape& shape() const { return shape_; }
    // The folder as an absolute path.
    const QString& folder() const { return folder_; }
    QString path() const;
    // The milliseconds of reps plain decodes of the photo (reading the file
    // and decoding it into a fresh bitmap), the windows' yardstick.
    std::vector<double> timePlainDecodes(int reps) const;

private:
    std::optional<QTemporaryDir> temporary_;
    QString folder_;
    PhotoSetShape shape_;
};

} // namespace zavio::bench

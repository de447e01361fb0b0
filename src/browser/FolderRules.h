#pragma once

#include "imaging/FilePath.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace zavio {

// Whether a file-list item counts as a picture: its extension is one of
// kPictureFormats (".jpg", ".jpeg", ".bmp") in any mix of letter case.
bool isCountedPicture(const QString& name);

// Sorts names without regard to case, ties broken by the bytes of the name,
// so the order is the same on every machine whatever its locale.
void sortNames(QStringList& names);
void sortNames(std::vector<FilePath>& names);
// Whether a comes before b in that order.
bool sortsBefore(const FilePath& a, const FilePath& b);

// A name as a folder stores it, with the text it is shown as: UTF-8 where the
// bytes are UTF-8, else Shift-JIS (code page 932) where they are that, as on
// discs and archives from Japanese Windows machines, else UTF-8 with
// replacement characters. The name keeps its bytes, by which it is opened.
FilePath nameFromDisk(const QByteArray& bytes);

// What one read of a folder gives both of the window's lists, hidden entries
// left out, each sorted by sortNames.
struct FolderListing {
    // Files that isCountedPicture counts. Names
    // that are not UTF-8 are listed too, by nameFromDisk.
    std::vector<FilePath> pictures;
    // The subfolders, named in the locale's encoding.
    QStringList subfolders;
};
FolderListing readFolder(const FilePath& folder);

// The texts the user is shown for names, in their order.
QStringList textsOf(const std::vector<FilePath>& names);

// A list's horizontal scroll extent, built from the widths of its entries in
// order: the running width rises to width + margin whenever an entry is wider
// than it, and the extent is the running width + 6.
class RunningExtent {
public:
    explicit RunningExtent(int margin) : margin_(margin) {}
    void add(int width)
    {
        if (width > running_)
            running_ = width + margin_;
    }
    int extent() const { return running_ + 6; }

private:
    int margin_;
    int running_ = 0;
};

// The extent of RunningExtent for all of widths.
int horizontalExtent(const std::vector<int>& widths, int margin);

// What the count of a file list gives: the counted pictures, and the list's
// horizontal extent from their widths with a margin of 20.
struct FileCount {
    int pictures = 0;
    int extent = 6;
};

// Walks the names in order; widthOf(row) is asked for counted pictures only.
FileCount countPictures(const std::vector<FilePath>& names, const std::function<int(int row)>& widthOf);

// The path of name inside folder, with one "/" between them.
QString joinPath(const QString& folder, const QString& name);

} // namespace zavio

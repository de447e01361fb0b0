#include "browser/FolderRules.h"

#include "common/ShiftJis.h"
#include "imaging/PictureFormats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <cstdint>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace zavio {

bool isCountedPicture(const QString& name)
{
    return pictureFormatOf(name) != nullptr;
}

namespace {

bool sortsBefore(const QString& a, const QString& b, const QByteArray& aBytes, const QByteArray& bBytes)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return aBytes < bBytes;
}

bool isAscii(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

unsigned char foldAscii(char c)
{
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// The same order as sortsBefore for two names whose bytes are ASCII, where
// the text is the bytes and folding the case only lowers A to Z.
bool asciiSortsBefore(const QByteArray& a, const QByteArray& b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const unsigned char x = foldAscii(a[i]);
        const unsigned char y = foldAscii(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

} // namespace

bool sortsBefore(const FilePath& a, const FilePath& b)
{
    return sortsBefore(a.text(), b.text(), a.native(), b.native());
}

void sortNames(QStringList& names)
{
    std::stable_sort(names.begin(), names.end(),
                     [](const QString& a, const QString& b) { return sortsBefore(a, b, a.toUtf8(), b.toUtf8()); });
}

void sortNames(std::vector<FilePath>& names)
{
    // Each name gets a key once: whether it is plain ASCII, and then its
    // first 16 bytes folded and packed into two words, which order two ASCII
    // names as asciiSortsBefore does whenever the keys differ. The sort moves
    // the keys, not the names, and reads a name only on a tie.
    struct Key {
        std::uint64_t high = 0;
        std::uint64_t low = 0;
        std::uint32_t index = 0;
        bool ascii = false;
    };
    std::vector<Key> keys(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        Key& key = keys[i];
        key.index = std::uint32_t(i);
        const QByteArray& bytes = names[i].native();
        key.ascii = isAscii(bytes);
        if (!key.ascii)
            continue;
        for (qsizetype b = 0; b < 16; ++b) {
            const std::uint64_t folded = b < bytes.size() ? foldAscii(bytes[b]) : 0;
            if (b < 8)
                key.high |= folded << (8 * (7 - b));
            else
                key.low |= folded << (8 * (15 - b));
        }
    }
    std::stable_sort(keys.begin(), keys.end(), [&names](const Key& a, const Key& b) {
        if (a.ascii && b.ascii) {
            if (a.high != b.high)
                return a.high < b.high;
            if (a.low != b.low)
                return a.low < b.low;
            return asciiSortsBefore(names[a.index].native(), names[b.index].native());
        }
        return sortsBefore(names[a.index], names[b.index]);
    });
    std::vector<FilePath> sorted;
    sorted.reserve(names.size());
    for (const Key& key : keys)
        sorted.push_back(std::move(names[key.index]));
    names = std::move(sorted);
}

FilePath nameFromDisk(const QByteArray& bytes)
{
    if (isAscii(bytes))
        return {bytes, QString::fromLatin1(bytes)};
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError() && isValidShiftJis(bytes))
        text = fromShiftJis(bytes);
    return {bytes, text};
}

FolderListing readFolder(const FilePath& folder)
{
    FolderListing listing;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.native().constData()), ::closedir);
    if (!dir)
        return listing;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray bytes(entry->d_name);
        if (bytes.startsWith('.'))
            continue;
        // The entry's own type tells folders from files without a stat for
        // each of a big folder's pictures; links and unknown types are
        // followed. Anything else that matches is a picture, as a dangling
        // link or a device still names one the user may expect.
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            const QByteArray path = folder.native() + '/' + bytes;
            isFolder = ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        if (isFolder) {
            listing.subfolders.append(QFile::decodeName(bytes));
            continue;
        }
        FilePath name = nameFromDisk(bytes);
        if (isCountedPicture(name.text()))
            listing.pictures.push_back(std::move(name));
    }
    sortNames(listing.pictures);
    sortNames(listing.subfolders);
    return listing;
}

QStringList textsOf(const std::vector<FilePath>& names)
{
    QStringList texts;
    texts.reserve(qsizetype(names.size()));
    for (const FilePath& name : names)
        texts.append(name.text());
    return texts;
}

int horizontalExtent(const std::vector<int>& widths, int margin)
{
    RunningExtent extent(margin);
    for (int width : widths)
        extent.add(width);
    return extent.extent();
}

FileCount countPictures(const std::vector<FilePath>& names, const std::function<int(int row)>& widthOf)
{
    FileCount count;
    RunningExtent extent(20);
    for (size_t row = 0; row < names.size(); ++row) {
        if (!isCountedPicture(names[row].text()))
            continue;
        extent.add(widthOf(int(row)));
        ++count.pictures;
    }
    count.extent = extent.extent();
    return count;
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

} // namespace zavio

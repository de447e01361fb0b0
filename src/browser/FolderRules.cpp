#include "browser/FolderRules.h"

#include "common/ShiftJis.h"
#include "imaging/PictureLoader.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace zavio {

bool isCountedPicture(const QString& name)
{
    return pictureKindOf(name) != PictureKind::None;
}

namespace {

bool sortsBefore(const QString& a, const QString& b, const QByteArray& aBytes, const QByteArray& bBytes)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return aBytes < bBytes;
}

} // namespace

void sortNames(QStringList& names)
{
    std::stable_sort(names.begin(), names.end(),
        [](const QString& a, const QString& b) { return sortsBefore(a, b, a.toUtf8(), b.toUtf8()); });
}

void sortNames(std::vector<FilePath>& names)
{
    std::stable_sort(names.begin(), names.end(), [](const FilePath& a, const FilePath& b) {
        return sortsBefore(a.text(), b.text(), a.native(), b.native());
    });
}

FilePath nameFromDisk(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError() && isValidShiftJis(bytes))
        text = fromShiftJis(bytes);
    return {bytes, text};
}

std::vector<FilePath> listPictureFiles(const FilePath& folder)
{
    std::vector<FilePath> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.native().constData()), ::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray bytes(entry->d_name);
        if (bytes.startsWith('.'))
            continue;
        FilePath name = nameFromDisk(bytes);
        if (!isCountedPicture(name.text()))
            continue;
        // Folders are not files; anything else that matches is listed, as a
        // dangling link or a device still names a picture the user may expect.
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            isFolder = ::stat(folder.child(name).native().constData(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        if (!isFolder)
            names.push_back(std::move(name));
    }
    sortNames(names);
    return names;
}

QStringList textsOf(const std::vector<FilePath>& names)
{
    QStringList texts;
    texts.reserve(qsizetype(names.size()));
    for (const FilePath& name : names)
        texts.append(name.text());
    return texts;
}

QStringList listSubfolders(const QString& folder)
{
    QDir dir(folder);
    dir.setFilter(QDir::Dirs | QDir::NoDotAndDotDot);
    dir.setSorting(QDir::Unsorted);
    QStringList names;
    for (const QString& name : dir.entryList()) {
        if (!name.startsWith(u'.'))
            names.append(name);
    }
    sortNames(names);
    return names;
}

int horizontalExtent(const std::vector<int>& widths, int margin)
{
    int running = 0;
    for (int width : widths) {
        if (width > running)
            running = width + margin;
    }
    return running + 6;
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

} // namespace zavio

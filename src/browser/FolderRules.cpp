#include "browser/FolderRules.h"

#include "imaging/PictureLoader.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace zavio {

bool isCountedPicture(const QString& name)
{
    return pictureKindOf(name) != PictureKind::None;
}

void sortNames(QStringList& names)
{
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        if (folded != 0)
            return folded < 0;
        return a.toUtf8() < b.toUtf8();
    });
}

QStringList listPictureFiles(const QString& folder)
{
    QDir dir(folder);
    dir.setFilter(QDir::Files | QDir::System);
    dir.setNameFilters({QStringLiteral("*.jpeg"), QStringLiteral("*.jpg"), QStringLiteral("*.bmp")});
    dir.setSorting(QDir::Unsorted);
    QStringList names;
    for (const QString& name : dir.entryList()) {
        if (!name.startsWith(u'.') && isCountedPicture(name))
            names.append(name);
    }
    sortNames(names);
    return names;
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

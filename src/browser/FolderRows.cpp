#include "browser/FolderRows.h"

#include "browser/FolderRules.h"

namespace zavio {

FolderRows folderRows(const QString& folder, const QStringList& subfolders)
{
    FolderRows list;
    list.rows.push_back({QStringLiteral("/"), QStringLiteral("/"), 0, true});
    QString walked;
    for (const QString& part : folder.split(u'/', Qt::SkipEmptyParts)) {
        walked += u'/' + part;
        list.rows.push_back({part, walked, int(list.rows.size()), true});
    }
    list.currentRow = int(list.rows.size()) - 1;
    const int depth = int(list.rows.size());
    for (const QString& sub : subfolders)
        list.rows.push_back({sub, joinPath(folder, sub), depth, false});
    return list;
}

} // namespace zavio

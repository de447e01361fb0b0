#include "browser/LastFolderOnMount.h"

#include <QFileInfo>

namespace zavio {

QString LastFolderOnMount::folderToOpen(const QString& mount) const
{
    const QString remembered = folders_.value(mount);
    return !remembered.isEmpty() && QFileInfo(remembered).isDir() ? remembered : mount;
}

} // namespace zavio

#pragma once

#include <QHash>
#include <QString>

namespace zavio {

// The folder last opened on each mount point, so that choosing a drive again
// goes back to where the user was on it.
class LastFolderOnMount {
public:
    void remember(const QString& mount, const QString& folder) { folders_.insert(mount, folder); }
    // The folder to open on choosing mount: the one last opened on it while
    // that is still a folder, else the mount point itself.
    QString folderToOpen(const QString& mount) const;

private:
    QHash<QString, QString> folders_;
};

} // namespace zavio

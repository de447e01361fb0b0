#pragma once

#include <QString>
#include <QStringList>

namespace zavio {

// The mounted file systems a user would pick a folder from, read from the
// text of /proc/self/mounts: the root, /home, removable media under /media and
// /run/media, /mnt and what lies below it, and network file systems anywhere.
// Pseudo and system file systems are left out. The root comes first, the rest
// sorted by path, each once.
QStringList userMountPoints(const QString& mountsText);
QStringList userMountPoints();

// The entry of mounts under which path lies (the longest one that contains it).
QString mountPointOf(const QString& path, const QStringList& mounts);

} // namespace zavio

#include "browser/MountList.h"

#include <QFile>
#include <QSet>
#include <algorithm>

namespace zavio {
namespace {

// Mount paths escape blanks, tabs, newlines and backslashes as octal.
QString unescapeMountPath(const QString& field)
{
    QByteArray raw = field.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 3 < raw.size()) {
            bool ok = false;
            const int code = raw.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(raw[i]);
    }
    return QString::fromUtf8(out);
}

bool isNetworkType(const QString& type)
{
    static const QSet<QString> network = {QStringLiteral("nfs"),
                                          QStringLiteral("nfs4"),
                                          QStringLiteral("cifs"),
                                          QStringLiteral("smb3"),
                                          QStringLiteral("smbfs"),
                                          QStringLiteral("fuse.sshfs"),
                                          QStringLiteral("sshfs"),
                                          QStringLiteral("davfs"),
                                          QStringLiteral("fuse.davfs2"),
                                          QStringLiteral("afs"),
                                          QStringLiteral("9p"),
                                          QStringLiteral("fuse.rclone"),
                                          QStringLiteral("fuse.gvfsd-fuse")};
    return network.contains(type);
}

bool isPseudoType(const QString& type)
{
    static const QSet<QString> pseudo = {
        QStringLiteral("proc"),     QStringLiteral("sysfs"),      QStringLiteral("tmpfs"),
        QStringLiteral("devtmpfs"), QStringLiteral("devpts"),     QStringLiteral("cgroup"),
        QStringLiteral("cgroup2"),  QStringLiteral("mqueue"),     QStringLiteral("debugfs"),
        QStringLiteral("tracefs"),  QStringLiteral("securityfs"), QStringLiteral("pstore"),
        QStringLiteral("bpf"),      QStringLiteral("autofs"),     QStringLiteral("hugetlbfs"),
        QStringLiteral("fusectl"),  QStringLiteral("configfs"),   QStringLiteral("binfmt_misc"),
        QStringLiteral("efivarfs"), QStringLiteral("ramfs"),      QStringLiteral("rpc_pipefs"),
        QStringLiteral("nsfs"),     QStringLiteral("selinuxfs"),  QStringLiteral("overlay")};
    return pseudo.contains(type);
}

bool isUnder(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

} // namespace

QStringList userMountPoints(const QString& mountsText)
{
    QStringList picked{QStringLiteral("/")};
    for (const QString& line : mountsText.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        if (fields.size() < 3)
            continue;
        const QString path = unescapeMountPath(fields[1]);
        const QString& type = fields[2];
        if (!path.startsWith(u'/') || path == u'/')
            continue;
        bool wanted = false;
        if (isNetworkType(type))
            wanted = true;
        else if (!isPseudoType(type))
            wanted = path == QStringLiteral("/home") || isUnder(path, QStringLiteral("/media"))
                || isUnder(path, QStringLiteral("/run/media")) || isUnder(path, QStringLiteral("/mnt"));
        if (wanted && !picked.contains(path))
            picked.append(path);
    }
    std::sort(picked.begin() + 1, picked.end());
    return picked;
}

QStringList userMountPoints()
{
    QFile file(QStringLiteral("/proc/self/mounts"));
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("/")};
    return userMountPoints(QString::fromUtf8(file.readAll()));
}

QString mountPointOf(const QString& path, const QStringList& mounts)
{
    QString best;
    for (const QString& mount : mounts) {
        const bool contains = mount == u'/' || isUnder(path, mount);
        if (contains && mount.size() > best.size())
            best = mount;
    }
    return best;
}

} // namespace zavio

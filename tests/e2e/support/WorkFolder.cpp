#include "support/WorkFolder.h"

#include "support/ChildProcess.h"

#include <QDir>
#include <QFile>

namespace zavio::e2e {

WorkFolder::WorkFolder()
{
    if (!dir_.isValid())
        throw Failure("cannot make a temporary folder: " + dir_.errorString().toStdString());
}

QString WorkFolder::makeFolder(const QString& name) const
{
    const QString path = dir_.path() + u'/' + name;
    if (!QDir().mkpath(path))
        throw Failure("cannot make the folder " + path.toStdString());
    return path;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw Failure("cannot write fixture " + path.toStdString());
}

} // namespace zavio::e2e

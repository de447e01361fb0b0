#include "support/WorkFolder.h"

#include "support/ChildProcess.h"

#include <QDir>

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

} // namespace zavio::e2e

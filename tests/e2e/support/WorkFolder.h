#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <string>

namespace zavio::e2e {

// A scenario's temporary folder, removed at its end: the logs of Xvfb and
// the program at its top, and the folders the program is shown inside it.
class WorkFolder {
public:
    WorkFolder();

    std::string logs() const { return dir_.path().toStdString(); }
    // Makes the folder name inside and returns its path.
    QString makeFolder(const QString& name) const;

private:
    QTemporaryDir dir_;
};

// Writes a fixture file whole; throws a failure when it cannot.
void writeBytes(const QString& path, const QByteArray& bytes);

} // namespace zavio::e2e

#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace zavio::fixtures {

// A small tmpfs mounted on a fresh temporary folder, for real file-system
// faults: a disk that fills up, a medium that turns read-only. Unmounted when
// it goes out of scope. Mounting needs root; where it is refused, tryMount
// gives nothing and the test should skip.
class ScratchMount {
public:
    static std::unique_ptr<ScratchMount> tryMount(qint64 bytes);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.path() + u'/' + name; }
    // Remounts the same file system read-only or writable again; its files stay.
    bool setReadOnly(bool readOnly);
    // Fills the free space with a file named name, so the next write fails with ENOSPC.
    void fillUp(const QString& name = QStringLiteral("filler"));

private:
    ScratchMount() = default;
    QTemporaryDir dir_;
    QByteArray options_;
    bool mounted_ = false;
};

} // namespace zavio::fixtures

#pragma once

#include "imaging/FileIo.h"

#include <QDir>
#include <QString>
#include <QStringList>

#include <cerrno>

namespace zavio::fixtures {

// The errors a run of every failing call prefers in turn.
inline constexpr int kErrors[] = {ENOSPC, EIO, EROFS, EACCES};
// A safety stop: no operation here makes anywhere near this many calls.
inline constexpr int kMostCalls = 200;

// The files a run left in the folder, hidden ones included, by name.
inline QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The errno value a failing call of this kind would give, preferring
// preferred where such a call can fail with it: a write fills the disk or
// meets an input/output error, an open or rename meets a read-only medium or
// a permission, and so on.
int fittingError(io::Call call, int preferred);
QString callName(io::Call call);

// Fails the failAt-th file-system call made while it lives (counting from 1),
// with the error that fits it; every other call runs.
class IoFaults {
public:
    IoFaults(int failAt, int preferred);
    ~IoFaults();
    IoFaults(const IoFaults&) = delete;
    IoFaults& operator=(const IoFaults&) = delete;

    int calls() const { return calls_; }
    bool fired() const { return calls_ >= failAt_; }
    io::Call failedCall() const { return failed_; }
    int failedWith() const { return error_; }

private:
    int failAt_;
    int preferred_;
    int calls_ = 0;
    io::Call failed_ = io::Call::Open;
    int error_ = 0;
    io::FaultHook previous_;
};

} // namespace zavio::fixtures

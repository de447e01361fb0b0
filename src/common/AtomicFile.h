#pragma once

#include "imaging/FileHandle.h"
#include "imaging/FilePath.h"
#include "imaging/UserError.h"

#include <QByteArray>
#include <QByteArrayView>

namespace zavio {

// A file that could not be written. Unless replaced() says otherwise, the file
// it was meant for is as it was.
class WriteError : public UserError {
public:
    WriteError(const QString& message, int systemError = 0, bool replaced = false)
        : UserError(message), systemError_(systemError), replaced_(replaced)
    {}
    // The errno value of the call that failed; 0 for a refusal of our own.
    int systemError() const { return systemError_; }
    // True only when the new content is in place and just its durability is
    // in doubt (the folder could not be synced after the rename).
    bool replaced() const { return replaced_; }

private:
    int systemError_;
    bool replaced_;
};

// The program's one way of replacing a file's content so that no reader and
// no crash ever sees a part of it: the new bytes go to a scratch file in the
// folder of the file, which is synced, given the old file's permission bits
// and group (and owner, where the system allows), and renamed over it; the
// folder is synced after the rename. A symbolic link is followed, so the file
// it points to is replaced in its own folder and the link stays.
//
// Refused with WriteError before anything is written: a target that is a
// folder, a pipe or a device, and an existing target the user may not write
// (as writing into it would be refused). Until commit() succeeds the target
// is untouched, and the scratch file is removed when the replacement ends
// without one.
class FileReplacement {
public:
    // scratchName is the scratch file's name in the target's folder; empty
    // for a hidden name of its own that no other file has.
    explicit FileReplacement(const FilePath& target, QByteArrayView scratchName = {});
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Appends bytes to the new content.
    void write(QByteArrayView bytes);
    // Puts the new content in place of the target.
    void commit();

private:
    [[noreturn]] void fail(int error) const;

    QString name_; // the target as the user knows it, for messages
    QByteArray fileName_; // the real file's name in folder_
    FileHandle folder_; // the real file's folder
    QByteArray scratch_; // the scratch file's name in folder_
    FileHandle file_; // the scratch file, open for writing
    bool exists_ = false; // whether the target existed when the replacement began
    mode_t mode_ = 0;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    bool committed_ = false;
};

// Replaces target's content with bytes in one FileReplacement.
void writeFileAtomically(const FilePath& target, QByteArrayView bytes);

} // namespace zavio

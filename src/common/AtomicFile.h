#pragma once

#include "imaging/FilePath.h"
#include "imaging/UserError.h"

#include <QByteArrayView>

namespace zavio {

// A file that could not be written. The file it was meant for is as it was.
class WriteError : public UserError {
public:
    using UserError::UserError;
};

// Replaces target's content with bytes so that no reader and no crash ever
// sees a part of it: the bytes go to a temporary file in target's folder,
// which is synced and then renamed over target; the folder is synced after
// the rename. A target that exists keeps its permission bits (and its owner
// where the system allows); a new one gets 0666 less the umask. A symbolic
// link is followed, so the picture it points to is replaced, not the link.
//
// An existing target that the user may not write is refused as the system
// would refuse writing to it. On any failure the temporary file is removed,
// target is untouched, and WriteError names the file with the system's text.
// The one exception is an input/output error while syncing the folder after
// the rename: the new content is then in place, and the error says so.
void writeFileAtomically(const FilePath& target, QByteArrayView bytes);

} // namespace zavio

#include "browser/FileListClick.h"

namespace zavio {

FileListOpen fileListClickOpens(bool fileSelected, bool commentMode, bool rotationMode)
{
    if (fileSelected && rotationMode)
        return FileListOpen::Rotation;
    if (commentMode)
        return fileSelected ? FileListOpen::CommentEditor : FileListOpen::Nothing;
    return FileListOpen::Zoom;
}

} // namespace zavio

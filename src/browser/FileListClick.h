#pragma once

namespace zavio {

// What a mouse button released over the file list opens.
enum class FileListOpen {
    // Rotation mode with a file selected: the rotation window on its full path.
    Rotation,
    // Comment mode with a file selected: the comment editor on its name.
    CommentEditor,
    // Comment mode with no file selected: the comment key is emptied and
    // nothing opens.
    Nothing,
    // Otherwise, also in rotation mode with no file selected: the zoom window
    // on the selected name, which may be empty.
    Zoom,
};

FileListOpen fileListClickOpens(bool fileSelected, bool commentMode, bool rotationMode);

} // namespace zavio

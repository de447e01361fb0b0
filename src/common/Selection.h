#pragma once

#include "imaging/FilePath.h"

namespace zavio {

// What the main window has chosen, read by every window it opens: made once at
// start-up and handed to each window, instead of process-wide variables.
class Selection {
public:
    // The picture chosen for the zoom, rotation or result window: a bare file
    // name in folder(), or a full path (rotation mode).
    FilePath SelectedPicture;
    // The file name of the label last clicked: the key of a comment record.
    FilePath SelectedCommentKey;

    // The folder shown in the folder list; bare names are opened in it.
    const FilePath& folder() const { return folder_; }
    void setFolder(const FilePath& folder) { folder_ = folder; }

    // SelectedPicture as a path to open: itself when it is a full path,
    // otherwise the name inside folder().
    FilePath picturePath() const;
    // A file of the current folder, such as the comment file.
    FilePath inFolder(const FilePath& name) const { return folder_.child(name); }

private:
    FilePath folder_;
};

} // namespace zavio

#pragma once

#include <QString>

namespace zavio {

// The picture the main window last chose for the zoom, rotation or result
// window: a bare file name, or a full path in rotation mode.
extern QString SelectedPicture;
// The file name of the label last clicked: the key of a comment record.
extern QString SelectedCommentKey;

} // namespace zavio

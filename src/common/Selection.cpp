#include "common/Selection.h"

namespace zavio {

FilePath Selection::picturePath() const
{
    if (SelectedPicture.isAbsolute() || folder_.isEmpty())
        return SelectedPicture;
    return folder_.child(SelectedPicture);
}

} // namespace zavio

#include "browser/PageButtons.h"

#include "browser/BrowseCounters.h"

namespace zavio {

PageButtonStates buttonsAfterCount(int pictureCount, PageButtonStates states)
{
    if (pictureCount + 1 <= kCellsPerPage) {
        states.previousEnabled = false;
        states.nextEnabled = false;
        states.back50Visible = false;
        states.forward50Visible = false;
        return states;
    }
    states.previousEnabled = true;
    states.nextEnabled = true;
    if (pictureCount + 1 < 100) {
        states.back50Visible = false;
        states.forward50Visible = false;
    } else {
        states.back50Visible = true;
        states.back50Enabled = true;
        states.forward50Visible = true;
        states.forward50Enabled = true;
    }
    return states;
}

} // namespace zavio

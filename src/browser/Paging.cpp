#include "browser/Paging.h"

namespace zavio {
namespace {

// A full page leaves ListPosition on its last picture, start + 19; these
// steps from there give the new page's start.
constexpr int kPreviousPageStep = 38;
constexpr int kBack50Step = 69;
constexpr int kForward50Step = 31;

void enableAll(PageButtonStates& buttons)
{
    buttons.previousEnabled = true;
    buttons.nextEnabled = true;
    buttons.back50Enabled = true;
    buttons.forward50Enabled = true;
}

// With no file selected and the fill stopped early on the first page (an
// unreadable picture), both backward buttons restart from the first file.
bool restartsAtFirstFile(const BrowseCounters& counters, bool fileSelected)
{
    return !fileSelected && counters.ListPosition < kCellsPerPage;
}

void startAtFirstPicture(BrowseCounters& counters)
{
    counters.ListPosition = 1;
    counters.CellNumber = 1;
}

// The ordinary step back: every button usable, unless the step ran past the
// first picture, where the page starts at 1 and nothing lies further back.
ListSelectionChange stepBack(BrowseCounters& counters, PageButtonStates& buttons, int step)
{
    enableAll(buttons);
    counters.ListPosition -= step;
    counters.CellNumber = 1;
    if (counters.ListPosition < 1) {
        counters.ListPosition = 1;
        buttons.previousEnabled = false;
        buttons.back50Enabled = false;
    }
    return ListSelectionChange::Clear;
}

} // namespace

ListSelectionChange previousPageBeforeFill(BrowseCounters& counters, PageButtonStates& buttons, bool fileSelected)
{
    if (restartsAtFirstFile(counters, fileSelected)) {
        buttons.previousEnabled = false;
        buttons.nextEnabled = true;
        startAtFirstPicture(counters);
        return ListSelectionChange::SelectFirst;
    }
    return stepBack(counters, buttons, kPreviousPageStep);
}

ListSelectionChange back50BeforeFill(BrowseCounters& counters, PageButtonStates& buttons, bool fileSelected)
{
    if (restartsAtFirstFile(counters, fileSelected)) {
        buttons.previousEnabled = false;
        buttons.nextEnabled = true;
        buttons.forward50Enabled = true;
        buttons.back50Enabled = false;
        startAtFirstPicture(counters);
        return ListSelectionChange::SelectFirst;
    }
    return stepBack(counters, buttons, kBack50Step);
}

void forward50BeforeFill(BrowseCounters& counters)
{
    counters.ListPosition += kForward50Step;
}

void buttonsAfterForwardFill(const BrowseCounters& counters, PageButtonStates& buttons)
{
    if (counters.ListPosition == counters.PictureCount + 1) {
        buttons.previousEnabled = true;
        buttons.nextEnabled = false;
        buttons.forward50Enabled = false;
        buttons.back50Enabled = true;
    } else {
        enableAll(buttons);
    }
}

} // namespace zavio

#pragma once

#include "browser/BrowseCounters.h"
#include "browser/PageButtons.h"

namespace zavio {

// What a backward paging button does to the file list's selection before the
// page is drawn. Neither change counts as the user's choice of a file.
enum class ListSelectionChange {
    Keep,
    SelectFirst,
    // The handler sets an index before the start of the list (-38 or -69),
    // which leaves no file selected.
    Clear,
};

// The paging buttons' moves over the counters. Each backward button and
// "５０次へ" adjusts the counters before the page fill; both forward buttons
// set the button states after it. A fill that fails skips the after-step.
// Only enabled states change here: visibility is the count's business.

// "前へ": back to the page that ends where the shown one starts.
ListSelectionChange previousPageBeforeFill(BrowseCounters& counters, PageButtonStates& buttons, bool fileSelected);
// "50前へ": 50 pictures back from the shown page's start.
ListSelectionChange back50BeforeFill(BrowseCounters& counters, PageButtonStates& buttons, bool fileSelected);
// "５０次へ": 50 pictures on from the shown page's start; never clamped.
void forward50BeforeFill(BrowseCounters& counters);
// After "次へ" or "５０次へ" has drawn its page: forward paging stops once
// the list ran out during the fill.
void buttonsAfterForwardFill(const BrowseCounters& counters, PageButtonStates& buttons);

} // namespace zavio

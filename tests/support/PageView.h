#pragma once

#include <QString>
#include <functional>
#include <ostream>

namespace zavio::fixtures {

// What the user sees after a paging click: the list positions named under
// the cells (pictures are named pic001.jpg, pic002.jpg, ...) and whether the
// four buttons are enabled.
struct PageView {
    int first = 0; // 0 for an empty page
    int last = 0;
    bool previous = false, next = false, back50 = false, forward50 = false;
    bool operator==(const PageView&) const = default;
};

std::ostream& operator<<(std::ostream& out, const PageView& view);

// The positions of a page from the captions of its cells (empty for an empty
// cell), with the buttons left off. The positions must be consecutive from
// cell 1 with nothing after them.
PageView shownPositions(const std::function<QString(int cell)>& captionOf);

} // namespace zavio::fixtures

#include "support/PageView.h"

#include "browser/BrowseCounters.h"

#include <gtest/gtest.h>

namespace zavio::fixtures {

std::ostream& operator<<(std::ostream& out, const PageView& view)
{
    return out << "shows " << view.first << ".." << view.last << " prev " << view.previous << " next " << view.next
               << " back50 " << view.back50 << " forward50 " << view.forward50;
}

PageView shownPositions(const std::function<QString(int cell)>& captionOf)
{
    PageView view;
    int cell = 1;
    for (; cell <= kCellsPerPage && !captionOf(cell).isEmpty(); ++cell) {
        const int position = captionOf(cell).mid(3, 3).toInt();
        if (cell == 1)
            view.first = position;
        else
            EXPECT_EQ(position, view.last + 1) << "cell " << cell;
        view.last = position;
    }
    for (; cell <= kCellsPerPage; ++cell)
        EXPECT_TRUE(captionOf(cell).isEmpty()) << "cell " << cell;
    return view;
}

} // namespace zavio::fixtures

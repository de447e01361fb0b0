#pragma once

namespace zavio {

// The main window's browsing counters. ListPosition is the 1-based list
// position of the next picture the page fill reads, CellNumber the cell (1 to
// 20) it writes next; PictureCount and ItemCount come from the last count.
struct BrowseCounters {
    int ListPosition = 1;
    int CellNumber = 1;
    int PictureCount = 0;
    int ItemCount = 0;
    friend bool operator==(const BrowseCounters&, const BrowseCounters&) = default;
};

inline constexpr int kCellsPerPage = 20;
inline constexpr int kCellColumns = 5;

} // namespace zavio

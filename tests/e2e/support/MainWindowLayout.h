#pragma once

#include <QRect>
#include <QRgb>

namespace zavio::e2e {

// Where the main window draws what the scenarios look at, in its client area
// on a screen of the layout's own density (Xvfb's 96 dpi keeps it unscaled).
constexpr const char* kMainTitle = "ザヴィオ";
constexpr int kClientWidth = 856;
constexpr int kClientHeight = 620;
constexpr int kCellWidth = 131;
constexpr int kCellHeight = 101;
constexpr int kCells = 20;
constexpr QRgb kSilver = 0xffc0c0c0;

// Cell n (1 to 20) counts row by row through five columns.
constexpr int cellLeft(int cell)
{
    return 150 + 140 * ((cell - 1) % 5);
}

constexpr int cellTop(int cell)
{
    return 60 + 140 * ((cell - 1) / 5);
}

inline QRect cellRect(int cell)
{
    return QRect(cellLeft(cell), cellTop(cell), kCellWidth, kCellHeight);
}

// The label with the picture's name under cell n.
inline QRect labelRect(int cell)
{
    return QRect(cellLeft(cell), cellTop(cell) + 110, kCellWidth, 14);
}

// The paging button "次へ".
inline QRect nextButtonRect()
{
    return QRect(230, 10, 71, 31);
}

} // namespace zavio::e2e

#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>

#include <string>

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

// The main window's title: the program's name and its version. Message boxes
// carry the name alone.
inline bool isMainWindowTitle(const std::string& title)
{
    return title.rfind(kMainTitle, 0) == 0 && title != kMainTitle;
}

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

// The mode check boxes "コメント処理" and "９０度回転".
inline QRect commentBoxRect()
{
    return QRect(480, 20, 121, 21);
}

inline QRect rotationBoxRect()
{
    return QRect(590, 20, 121, 21);
}

// A point on the box's square, where a click toggles it.
inline QPoint checkBoxPoint(const QRect& box)
{
    return QPoint(box.left() + 7, box.center().y());
}

// The dark pixels of the check mark inside the box's square: none when the
// box is unchecked, whether or not it has the focus or the pointer.
inline int checkMarkPixels(const QImage& shot, const QRect& box)
{
    int dark = 0;
    for (int y = box.top() + 4; y < box.top() + 16; ++y)
        for (int x = box.left() + 2; x < box.left() + 14; ++x)
            dark += qGray(shot.pixel(x, y)) < 128;
    return dark;
}

// The middle of a row of the file list (0 for the first file): rows are as
// high as the list's text, 16 pixels with the IPA Gothic font, inside the
// list's frame.
inline QPoint fileListRowPoint(int row)
{
    return QPoint(40, 410 + 2 + 16 * row + 8);
}

} // namespace zavio::e2e

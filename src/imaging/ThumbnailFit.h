#pragma once

namespace zavio {

// A rectangle given by its edges; right may lie left of left (a mirrored draw).
struct FitRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const FitRect&, const FitRect&) = default;
};

// What ThumbnailFit does to a picture narrower than 1.25 : 1 besides centring
// it: left is added to its left edge, rightTrim taken off its right edge.
struct FitMargins {
    int left = 0;
    int rightTrim = 0;
};

// The thumbnail cells nudge a tall picture 5 pixels right and keep its right
// edge, so the cells look as they always have.
inline constexpr FitMargins kThumbnailMargins{5, 0};
// The comment viewer and the rotation preview share one placement, so a
// picture sits the same in both.
inline constexpr FitMargins kPreviewMargins{40, 40};

// Places a pictureWidth x pictureHeight picture in a boxWidth x boxHeight box
// by the ratio of the picture's sides, in single precision: above 1.55 full
// width, centred vertically; 1.25 to 1.55 the whole box; below 1.25 full
// height, with leftMargin added on the left and rightTrim taken off the right edge.
FitRect ThumbnailFit(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, int leftMargin, int rightTrim);
inline FitRect ThumbnailFit(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, FitMargins margins)
{
    return ThumbnailFit(pictureWidth, pictureHeight, boxWidth, boxHeight, margins.left, margins.rightTrim);
}

// A picture smaller than the box both ways at its own size in the top-left
// corner; any other by ThumbnailFit. The comment viewer and the rotation
// preview place their pictures so.
FitRect PreviewFit(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, int leftMargin, int rightTrim);
inline FitRect PreviewFit(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, FitMargins margins)
{
    return PreviewFit(pictureWidth, pictureHeight, boxWidth, boxHeight, margins.left, margins.rightTrim);
}

} // namespace zavio

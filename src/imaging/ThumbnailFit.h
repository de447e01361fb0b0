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

// Places a w x h picture in a W x H box by the ratio w / h, in single precision:
// above 1.55 full width, centred vertically; 1.25 to 1.55 the whole box; below
// 1.25 full height, with margin m on the left and k taken off the right edge.
FitRect ThumbnailFit(int w, int h, int W, int H, int m, int k);

// A picture smaller than the box both ways at its own size in the top-left
// corner; any other by ThumbnailFit. The comment viewer and the rotation
// preview place their pictures so.
FitRect PreviewFit(int w, int h, int W, int H, int m, int k);

} // namespace zavio

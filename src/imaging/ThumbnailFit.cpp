#include "imaging/ThumbnailFit.h"

#include "imaging/PictureError.h"

#include <QString>

namespace zavio {

FitRect ThumbnailFit(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, int leftMargin, int rightTrim)
{
    if (pictureHeight == 0)
        throw PictureError(QStringLiteral("画像の高さが 0 です。縮小表示の位置を決められません。"));

    // Single precision throughout: the band edges and the truncations depend on it.
    // The ratio is compared with the double 1.55, so 1550 x 1000 (1.55f, just
    // below it) stays in the middle band.
    const float ratio = static_cast<float>(pictureWidth) / static_cast<float>(pictureHeight);
    const float width = static_cast<float>(boxWidth);
    const float height = static_cast<float>(boxHeight);

    if (ratio > 1.55) {
        const float drawnHeight = height / ratio;
        const int top = static_cast<int>((height - drawnHeight) * 0.5f);
        return {0, top, boxWidth, static_cast<int>(static_cast<float>(top) + drawnHeight)};
    }
    if (ratio >= 1.25f)
        return {0, 0, boxWidth, boxHeight};

    const float drawnWidth = width * ratio;
    const int left = static_cast<int>((width - drawnWidth) * 0.5f + static_cast<float>(leftMargin));
    const int right = static_cast<int>(drawnWidth + static_cast<float>(left / 2) - static_cast<float>(rightTrim));
    return {left, 0, right, boxHeight};
}

FitRect PreviewFit(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, int leftMargin, int rightTrim)
{
    if (pictureWidth < boxWidth && pictureHeight < boxHeight)
        return {0, 0, pictureWidth, pictureHeight};
    return ThumbnailFit(pictureWidth, pictureHeight, boxWidth, boxHeight, leftMargin, rightTrim);
}

} // namespace zavio

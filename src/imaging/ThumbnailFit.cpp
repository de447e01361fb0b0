#include "imaging/ThumbnailFit.h"

#include "imaging/PictureError.h"

#include <QString>

namespace zavio {

FitRect ThumbnailFit(int w, int h, int W, int H, int m, int k)
{
    if (h == 0)
        throw PictureError(QStringLiteral("画像の高さが 0 です。縮小表示の位置を決められません。"));

    // Single precision throughout: the band edges and the truncations depend on it.
    // The ratio is compared with the double 1.55, so 1550 x 1000 (1.55f, just
    // below it) stays in the middle band.
    const float r = static_cast<float>(w) / static_cast<float>(h);
    const float fW = static_cast<float>(W);
    const float fH = static_cast<float>(H);

    if (r > 1.55) {
        const float d = fH / r;
        const int top = static_cast<int>((fH - d) * 0.5f);
        return {0, top, W, static_cast<int>(static_cast<float>(top) + d)};
    }
    if (r >= 1.25f)
        return {0, 0, W, H};

    const float d = fW * r;
    const int left = static_cast<int>((fW - d) * 0.5f + static_cast<float>(m));
    const int right = static_cast<int>(d + static_cast<float>(left / 2) - static_cast<float>(k));
    return {left, 0, right, H};
}

FitRect PreviewFit(int w, int h, int W, int H, int m, int k)
{
    if (w < W && h < H)
        return {0, 0, w, h};
    return ThumbnailFit(w, h, W, H, m, k);
}

} // namespace zavio

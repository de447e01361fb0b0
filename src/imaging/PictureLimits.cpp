#include "imaging/PictureLimits.h"

#include "imaging/PictureError.h"

#include <QString>
#include <QStringList>

namespace zavio {

namespace {

// A pixel count the Japanese way: 256000000 reads "2 億 5600 万".
QString japaneseCount(std::int64_t n)
{
    const std::int64_t oku = n / 100'000'000;
    const std::int64_t man = n / 10'000 % 10'000;
    const std::int64_t rest = n % 10'000;
    QStringList parts;
    if (oku > 0)
        parts << QStringLiteral("%1 億").arg(oku);
    if (man > 0)
        parts << QStringLiteral("%1 万").arg(man);
    if (rest > 0 || parts.isEmpty())
        parts << QString::number(rest);
    return parts.join(QLatin1Char(' '));
}

} // namespace

void checkPictureSize(std::int64_t width, std::int64_t height)
{
    if (width == 0 || height == 0)
        throw PictureError(QStringLiteral("画像の大きさが 0 です（%1 × %2 ピクセル）。").arg(width).arg(height));
    if (width < 0 || height < 0)
        throw PictureError(
            QStringLiteral("画像の大きさが正しくありません（%1 × %2 ピクセル）。").arg(width).arg(height));
    // The sides are checked first so that the product cannot overflow.
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
        throw PictureError(QStringLiteral("画像が大きすぎます（%1 × %2 ピクセル）。扱える大きさは一辺 %3 "
                                          "ピクセル、合計 %4ピクセルまでです。")
                               .arg(width)
                               .arg(height)
                               .arg(kMaxPictureSide)
                               .arg(japaneseCount(kMaxPicturePixels)));
}

} // namespace zavio

#include "common/WindowPlacement.h"

#include <algorithm>

namespace zavio {

namespace {

// The start of a span of length size centred on the span from..from+length,
// kept within low..low+room.
int centredStart(int size, int from, int length, int low, int room)
{
    const int centred = from + (length - size) / 2;
    const int highest = low + room - size;
    return std::max(low, std::min(centred, highest));
}

} // namespace

QPoint centredFramePosition(QSize frame, const QRect& on, const QRect& available)
{
    return {centredStart(frame.width(), on.x(), on.width(), available.x(), available.width()),
            centredStart(frame.height(), on.y(), on.height(), available.y(), available.height())};
}

QSize framedSize(QSize client, const QMargins& ownMargins, const QMargins& onMargins)
{
    const QMargins& margins = ownMargins.isNull() ? onMargins : ownMargins;
    return client.grownBy(margins);
}

} // namespace zavio

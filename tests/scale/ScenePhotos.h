#pragma once

#include <QImage>

namespace zavio::fixtures {

// A picture that looks like a photograph: one of six painted scenes (hills at
// dusk, a city at night, flowers, a beach, a shrine gate with its sign, snowy
// peaks) chosen by index, with fine detail and film grain, so that a
// thumbnail's sharpness shows. The same index and size give the same pixels.
QImage scenePhoto(int index, int width, int height);

} // namespace zavio::fixtures

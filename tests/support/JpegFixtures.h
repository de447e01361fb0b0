#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace zavio::test {

// JPEG files of the kinds the program's own encoder does not write, made
// directly with libjpeg.
struct JpegFixture {
    enum class Space { Gray, Rgb, Cmyk, Ycck };
    int width = 0;
    int height = 0;
    Space space = Space::Rgb;
    // Samples per pixel: 1 for gray, 3 (R, G, B) for RGB, 4 (C, M, Y, K,
    // stored inverted as Adobe writes them) for CMYK and YCCK.
    std::vector<std::uint8_t> samples;
    bool progressive = false;
    // A gray progressive file that refines every coefficient bit by bit,
    // several hundred scans in all.
    bool everyBitItsOwnScan = false;
    int quality = 95;
};

// Sampling is 1 x 1 for every component so that colours survive closely.
QByteArray makeJpeg(const JpegFixture& fixture);

} // namespace zavio::test

#include "support/JpegFixtures.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace zavio::test {

namespace {

// Every coefficient of the one component, first sent at the coarsest bit and
// then refined one bit at a time.
std::vector<jpeg_scan_info> bitByBitScript()
{
    constexpr int kLowestBit = 10; // the most libjpeg allows for 8-bit samples
    std::vector<jpeg_scan_info> script;
    auto add = [&script](int ss, int se, int ah, int al) {
        jpeg_scan_info scan{};
        scan.comps_in_scan = 1;
        scan.component_index[0] = 0;
        scan.Ss = ss;
        scan.Se = se;
        scan.Ah = ah;
        scan.Al = al;
        script.push_back(scan);
    };
    for (int k = 0; k < 64; ++k) {
        add(k, k, 0, kLowestBit);
        for (int bit = kLowestBit; bit > 0; --bit)
            add(k, k, bit, bit - 1);
    }
    return script;
}

} // namespace

QByteArray makeJpeg(const JpegFixture& fixture)
{
    // The fixtures are fixed and valid, so libjpeg's own error handler (which
    // ends the process) is enough here.
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);

    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);

    int components = 3;
    J_COLOR_SPACE input = JCS_RGB;
    J_COLOR_SPACE stored = JCS_YCbCr;
    switch (fixture.space) {
    case JpegFixture::Space::Gray:
        components = 1;
        input = stored = JCS_GRAYSCALE;
        break;
    case JpegFixture::Space::Rgb:
        break;
    case JpegFixture::Space::Cmyk:
        components = 4;
        input = stored = JCS_CMYK;
        break;
    case JpegFixture::Space::Ycck:
        components = 4;
        input = JCS_CMYK;
        stored = JCS_YCCK;
        break;
    }
    if (fixture.samples.size() != std::size_t(fixture.width) * fixture.height * components)
        std::abort();

    info.image_width = JDIMENSION(fixture.width);
    info.image_height = JDIMENSION(fixture.height);
    info.input_components = components;
    info.in_color_space = input;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, stored);
    jpeg_set_quality(&info, fixture.quality, TRUE);
    for (int i = 0; i < info.num_components; ++i)
        info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;

    std::vector<jpeg_scan_info> script;
    if (fixture.everyBitItsOwnScan) {
        script = bitByBitScript();
        info.scan_info = script.data();
        info.num_scans = int(script.size());
    } else if (fixture.progressive) {
        jpeg_simple_progression(&info);
    }

    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = std::size_t(fixture.width) * components;
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(fixture.samples.data() + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);

    QByteArray result(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return result;
}

} // namespace zavio::test

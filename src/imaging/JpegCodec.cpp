#include "imaging/JpegCodec.h"

#include "imaging/DecodeCancel.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLimits.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

// libjpeg reports errors by calling error_exit, which must not return. Here it
// longjmps back into runJpegStep, the one setjmp of the program. The steps run
// there are plain functions holding no C++ objects, so the jump skips nothing
// that needs destroying; all C++ state lives in the callers, which turn a
// failed step into a PictureError and destroy the libjpeg object by RAII.

namespace zavio {

namespace {

// A progressive file rarely has more than a dozen scans; thousands of them
// would make every one of them walk the whole picture again.
constexpr int kMaxScans = 500;
constexpr int kRowsPerRead = 16;
constexpr std::size_t kFirstOutputBuffer = 64 * 1024;

// The user reads a reason chosen by the message code, never the library's
// own English text.
struct JpegErrors {
    jpeg_error_mgr pub; // first, so that cinfo->err leads back here
    std::jmp_buf jump;
    int code;
    bool tooManyScans;
    bool cancelled;
};

JpegErrors& errorsOf(j_common_ptr cinfo)
{
    return *reinterpret_cast<JpegErrors*>(cinfo->err);
}

void onError(j_common_ptr cinfo)
{
    JpegErrors& errors = errorsOf(cinfo);
    errors.code = cinfo->err->msg_code;
    std::longjmp(errors.jump, 1);
}

// Library messages are never printed.
void onOutputMessage(j_common_ptr) {}

// A file that ends early is an error, not a picture with a grey tail; other
// warnings (corrupt but decodable data) are let through.
void onEmitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    if (cinfo->err->msg_code == JWRN_JPEG_EOF)
        (*cinfo->err->error_exit)(cinfo);
    ++cinfo->err->num_warnings;
}

// libjpeg calls this for every row group it takes in while reading the scans
// of a progressive file, and at every jpeg_read_scanlines call of the output
// pass, so a cancelled decode stops within a few rows.
void onProgress(j_common_ptr cinfo)
{
    JpegErrors& errors = errorsOf(cinfo);
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        errors.tooManyScans = true;
        std::longjmp(errors.jump, 1);
    }
    if (decodeCancelled()) {
        errors.cancelled = true;
        std::longjmp(errors.jump, 1);
    }
}

void installErrors(JpegErrors& errors)
{
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onError;
    errors.pub.output_message = onOutputMessage;
    errors.pub.emit_message = onEmitMessage;
}

using JpegStep = void (*)(void* context);

// Runs one step of libjpeg work; false when libjpeg gave up inside it.
bool runJpegStep(JpegErrors& errors, JpegStep step, void* context)
{
    if (setjmp(errors.jump) != 0)
        return false;
    step(context);
    return true;
}

bool isApplicationMarker(int code)
{
    return code >= JPEG_APP0 && code <= JPEG_APP0 + 15;
}

// ---- decoding ---------------------------------------------------------------

struct HeaderContext {
    j_decompress_ptr info;
    const unsigned char* data;
    unsigned long size;
    std::span<const int> savedMarkers; // application markers to keep in info->marker_list
};

struct ScanContext {
    j_decompress_ptr info;
    std::uint8_t* firstRow;
    qsizetype stride;
    std::uint8_t* cmykRow; // one row of four-byte pixels, for CMYK files only
    bool stalled;
};

void createDecompressStep(void* context)
{
    jpeg_create_decompress(static_cast<j_decompress_ptr>(context));
}

void readHeaderStep(void* context)
{
    auto* c = static_cast<HeaderContext*>(context);
    jpeg_mem_src(c->info, c->data, c->size);
    for (const int code : c->savedMarkers)
        jpeg_save_markers(c->info, code, 0xffff);
    jpeg_read_header(c->info, TRUE);
}

void startDecompressStep(void* context)
{
    jpeg_start_decompress(static_cast<j_decompress_ptr>(context));
}

// Rows are decoded straight into the bitmap.
void readBgrStep(void* context)
{
    auto* c = static_cast<ScanContext*>(context);
    j_decompress_ptr info = c->info;
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[kRowsPerRead];
        const JDIMENSION wanted = std::min<JDIMENSION>(kRowsPerRead, info->output_height - info->output_scanline);
        for (JDIMENSION i = 0; i < wanted; ++i)
            rows[i] = c->firstRow + qsizetype(info->output_scanline + i) * c->stride;
        if (jpeg_read_scanlines(info, rows, wanted) == 0) {
            c->stalled = true;
            return;
        }
    }
    jpeg_finish_decompress(info);
}

std::uint8_t scaleByBlack(unsigned value, unsigned black)
{
    return std::uint8_t((value * black + 127) / 255);
}

// CMYK and YCCK files keep their ink values inverted, as Adobe writes them, so
// each colour is its stored value scaled by the stored black.
void readCmykStep(void* context)
{
    auto* c = static_cast<ScanContext*>(context);
    j_decompress_ptr info = c->info;
    while (info->output_scanline < info->output_height) {
        std::uint8_t* dst = c->firstRow + qsizetype(info->output_scanline) * c->stride;
        JSAMPROW row = c->cmykRow;
        if (jpeg_read_scanlines(info, &row, 1) == 0) {
            c->stalled = true;
            return;
        }
        const std::uint8_t* src = c->cmykRow;
        for (JDIMENSION x = 0; x < info->output_width; ++x, src += 4, dst += 3) {
            dst[0] = scaleByBlack(src[2], src[3]);
            dst[1] = scaleByBlack(src[1], src[3]);
            dst[2] = scaleByBlack(src[0], src[3]);
        }
    }
    jpeg_finish_decompress(info);
}

QString decodeFailure(const QString& reason)
{
    return QStringLiteral("JPEG を解読できません: %1").arg(reason);
}

// The libjpeg object and everything it points to; destroyed on every path.
class Decompressor {
public:
    Decompressor()
    {
        installErrors(errors_);
        info_.err = &errors_.pub;
        // The destructor does not run when the constructor throws, so a failed
        // creation cleans up here.
        if (!runJpegStep(errors_, createDecompressStep, &info_)) {
            jpeg_destroy_decompress(&info_);
            fail();
        }
        progress_.progress_monitor = onProgress;
        info_.progress = &progress_;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info_); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct& info() { return info_; }

    void readHeader(QByteArrayView data, std::span<const int> savedMarkers = {})
    {
        if (data.isEmpty())
            throw PictureError(decodeFailure(QStringLiteral("データが空です（0 バイト）。")));
        HeaderContext context{&info_, reinterpret_cast<const unsigned char*>(data.data()),
                              static_cast<unsigned long>(data.size()), savedMarkers};
        run(readHeaderStep, &context);
    }

    void run(JpegStep step, void* context)
    {
        if (!runJpegStep(errors_, step, context))
            fail();
    }

private:
    [[noreturn]] void fail()
    {
        if (errors_.cancelled)
            throw DecodeCancelled();
        if (errors_.tooManyScans)
            throw PictureError(decodeFailure(QStringLiteral("スキャンの数が %1 を超えています。").arg(kMaxScans)));
        switch (errors_.code) {
        case JERR_NO_SOI:
            // Not a JPEG at all: there was nothing to decode.
            throw PictureError(jpegReason(errors_.code));
        case JERR_IMAGE_TOO_BIG:
            // The frame header has been read: refuse with the picture's own size.
            checkPictureSize(info_.image_width, info_.image_height);
            throw PictureError(QStringLiteral("画像が大きすぎます（%1 × %2 ピクセル）。JPEG "
                                              "で扱える大きさは一辺 %3 ピクセルまでです。")
                                   .arg(info_.image_width)
                                   .arg(info_.image_height)
                                   .arg(JPEG_MAX_DIMENSION));
        default:
            throw PictureError(decodeFailure(jpegReason(errors_.code)));
        }
    }

    JpegErrors errors_{};
    jpeg_progress_mgr progress_{};
    jpeg_decompress_struct info_{};
};

// ---- encoding ---------------------------------------------------------------

// Compressed data grows in one malloc'd buffer that the caller owns and frees,
// whether or not compression finishes (jpeg_mem_dest loses track of its buffer
// when an error stops it after the buffer has grown).
struct MemoryDestination {
    jpeg_destination_mgr pub; // first, so that cinfo->dest leads back here
    unsigned char* buffer;
    std::size_t capacity;
    std::size_t size;
};

MemoryDestination& destinationOf(j_compress_ptr cinfo)
{
    return *reinterpret_cast<MemoryDestination*>(cinfo->dest);
}

void initDestination(j_compress_ptr cinfo)
{
    MemoryDestination& dest = destinationOf(cinfo);
    dest.buffer = static_cast<unsigned char*>(std::malloc(kFirstOutputBuffer));
    if (dest.buffer == nullptr)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest.capacity = kFirstOutputBuffer;
    dest.pub.next_output_byte = dest.buffer;
    dest.pub.free_in_buffer = dest.capacity;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    // Called when the buffer is full: double it and carry on after the old end.
    MemoryDestination& dest = destinationOf(cinfo);
    auto* grown = static_cast<unsigned char*>(std::realloc(dest.buffer, dest.capacity * 2));
    if (grown == nullptr)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    dest.buffer = grown;
    dest.pub.next_output_byte = grown + dest.capacity;
    dest.pub.free_in_buffer = dest.capacity;
    dest.capacity *= 2;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    MemoryDestination& dest = destinationOf(cinfo);
    dest.size = dest.capacity - dest.pub.free_in_buffer;
}

struct EncodeContext {
    j_compress_ptr info;
    const std::uint8_t* firstRow;
    qsizetype stride;
    int width;
    int height;
    int quality;
    std::span<const JpegMarker> markers;
};

void createCompressStep(void* context)
{
    jpeg_create_compress(static_cast<j_compress_ptr>(context));
}

void encodeStep(void* context)
{
    auto* c = static_cast<EncodeContext*>(context);
    j_compress_ptr info = c->info;
    info->image_width = JDIMENSION(c->width);
    info->image_height = JDIMENSION(c->height);
    info->input_components = 3;
    info->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, c->quality, TRUE);
    info->dct_method = JDCT_ISLOW;
    jpeg_start_compress(info, TRUE);
    for (const JpegMarker& marker : c->markers)
        jpeg_write_marker(info, marker.code, reinterpret_cast<const JOCTET*>(marker.payload.constData()),
                          unsigned(marker.payload.size()));
    while (info->next_scanline < info->image_height) {
        // libjpeg only reads the rows it is given.
        JSAMPROW row = const_cast<JSAMPROW>(c->firstRow + qsizetype(info->next_scanline) * c->stride);
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
}

class Compressor {
public:
    Compressor()
    {
        installErrors(errors_);
        info_.err = &errors_.pub;
        if (!runJpegStep(errors_, createCompressStep, &info_)) {
            jpeg_destroy_compress(&info_);
            fail();
        }
        destination_.pub.init_destination = initDestination;
        destination_.pub.empty_output_buffer = emptyOutputBuffer;
        destination_.pub.term_destination = termDestination;
        info_.dest = &destination_.pub;
    }
    ~Compressor()
    {
        jpeg_destroy_compress(&info_);
        std::free(destination_.buffer);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    jpeg_compress_struct& info() { return info_; }
    QByteArray result() const
    {
        return QByteArray(reinterpret_cast<const char*>(destination_.buffer), qsizetype(destination_.size));
    }

    void run(JpegStep step, void* context)
    {
        if (!runJpegStep(errors_, step, context))
            fail();
    }

private:
    [[noreturn]] void fail()
    {
        throw PictureError(QStringLiteral("JPEG に書き出せません: %1").arg(jpegReason(errors_.code)));
    }

    JpegErrors errors_{};
    MemoryDestination destination_{};
    jpeg_compress_struct info_{};
};

} // namespace

QString jpegReason(int messageCode)
{
    switch (messageCode) {
    case JWRN_JPEG_EOF:
    case JERR_INPUT_EOF:
        return QStringLiteral("データが途中で終わっています。ファイルの後ろが欠けています。");
    case JERR_INPUT_EMPTY:
        return QStringLiteral("データが空です（0 バイト）。");
    case JERR_NO_SOI:
        return QStringLiteral("JPEG ファイルではありません。ほかの形式のファイルに JPEG の拡張子が"
                              "付いているようです。");
    case JERR_ARITH_NOTIMPL:
    case JERR_BAD_PRECISION:
    case JERR_CCIR601_NOTIMPL:
    case JERR_COMPONENT_COUNT:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_FRACT_SAMPLE_NOTIMPL:
    case JERR_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_SOF_UNSUPPORTED:
        return QStringLiteral("この種類の JPEG（12 ビット、可逆圧縮など）には対応していません。");
    case JERR_BAD_COMPONENT_ID:
    case JERR_BAD_DCT_COEF:
    case JERR_BAD_DCTSIZE:
    case JERR_BAD_HUFF_TABLE:
    case JERR_BAD_LENGTH:
    case JERR_BAD_MCU_SIZE:
    case JERR_BAD_PROGRESSION:
    case JERR_BAD_SAMPLING:
    case JERR_DAC_INDEX:
    case JERR_DAC_VALUE:
    case JERR_DHT_INDEX:
    case JERR_DQT_INDEX:
    case JERR_EMPTY_IMAGE:
    case JERR_EOI_EXPECTED:
    case JERR_HUFF_CLEN_OVERFLOW:
    case JERR_HUFF_MISSING_CODE:
    case JERR_NO_HUFF_TABLE:
    case JERR_NO_IMAGE:
    case JERR_NO_QUANT_TABLE:
    case JERR_SOF_DUPLICATE:
    case JERR_SOF_NO_SOS:
    case JERR_SOI_DUPLICATE:
    case JERR_SOS_NO_SOF:
    case JERR_UNKNOWN_MARKER:
        return QStringLiteral("データが壊れています。");
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
        return QStringLiteral("画像が大きすぎます。");
    case JERR_OUT_OF_MEMORY:
        return QStringLiteral("画像のためのメモリが足りません。");
    default:
        return QStringLiteral("JPEG のデータとして読めません（エラー番号 %1）。").arg(messageCode);
    }
}

TJPEGImage::Header TJPEGImage::readHeader(QByteArrayView data)
{
    Decompressor decompressor;
    decompressor.readHeader(data);
    const jpeg_decompress_struct& info = decompressor.info();
    return {int(info.image_width), int(info.image_height)};
}

TBitmap TJPEGImage::decode(QByteArrayView data)
{
    TBitmap bitmap;
    decodeInto(data, bitmap);
    return bitmap;
}

void TJPEGImage::decodeInto(QByteArrayView data, TBitmap& bitmap)
{
    Decompressor decompressor;
    decompressor.readHeader(data);
    jpeg_decompress_struct& info = decompressor.info();
    checkPictureSize(info.image_width, info.image_height);

    bool cmyk = false;
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        info.out_color_space = JCS_EXT_BGR;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        info.out_color_space = JCS_CMYK;
        cmyk = true;
        break;
    default:
        throw PictureError(
            decodeFailure(QStringLiteral("この色の形式（成分 %1 個）には対応していません。").arg(info.num_components)));
    }
    info.dct_method = JDCT_ISLOW;
    decompressor.run(startDecompressStep, &info);

    const int width = int(info.output_width);
    const int height = int(info.output_height);
    if (info.output_width != info.image_width || info.output_height != info.image_height
        || info.output_components != (cmyk ? 4 : 3))
        throw PictureError(decodeFailure(QStringLiteral("出力の形式が想定と違います。")));

    // Every row is written by the scan, so the pixels need no clearing first.
    bitmap.reshapeForOverwrite(width, height);
    std::vector<std::uint8_t> cmykRow(cmyk ? std::size_t(width) * 4 : 0);
    ScanContext context{&info, bitmap.scanLine(0), bitmap.bytesPerLine(), cmykRow.data(), false};
    decompressor.run(cmyk ? readCmykStep : readBgrStep, &context);
    if (context.stalled)
        throw PictureError(decodeFailure(QStringLiteral("データが途中で終わっています。")));
}

std::vector<JpegMarker> TJPEGImage::readMarkers(QByteArrayView data, std::span<const int> codes)
{
    for (const int code : codes) {
        if (!isApplicationMarker(code))
            throw PictureError(QStringLiteral("JPEG のマーカー %1 は読み出せません。").arg(code, 0, 16));
    }
    Decompressor decompressor;
    decompressor.readHeader(data, codes);
    std::vector<JpegMarker> markers;
    for (jpeg_saved_marker_ptr m = decompressor.info().marker_list; m != nullptr; m = m->next)
        markers.push_back(
            {int(m->marker), QByteArray(reinterpret_cast<const char*>(m->data), qsizetype(m->data_length))});
    return markers;
}

QByteArray TJPEGImage::encode(const TBitmap& bitmap, int quality, std::span<const JpegMarker> markers)
{
    if (bitmap.isEmpty())
        throw PictureError(QStringLiteral("空の画像は JPEG に書き出せません。"));
    for (const JpegMarker& marker : markers) {
        if (!isApplicationMarker(marker.code) || marker.payload.size() > kMaxMarkerPayload)
            throw PictureError(QStringLiteral("JPEG のマーカー %1（%2 バイト）は書き込めません。")
                                   .arg(marker.code, 0, 16)
                                   .arg(marker.payload.size()));
    }
    Compressor compressor;
    EncodeContext context{&compressor.info(),
                          bitmap.scanLine(0),
                          bitmap.bytesPerLine(),
                          bitmap.width(),
                          bitmap.height(),
                          std::clamp(quality, 1, 100),
                          markers};
    compressor.run(encodeStep, &context);
    return compressor.result();
}

} // namespace zavio

// Windows BMP decoding: OS/2 and Windows headers, 1/2/4/8-bit palettes, 16/24/32-bit
// pixels with bit-field masks, RLE4 and RLE8, bottom-up and top-down rows.
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/rm/image.h"

namespace platform::rm {

namespace {

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;  // mask >> shift
    uint8_t Get(uint32_t px, uint8_t missing) const {
        if (!mask) return missing;
        const uint32_t v = (px & mask) >> shift;
        return uint8_t((uint64_t(v) * 255 + max / 2) / max);
    }
    static Channel From(uint32_t mask) {
        Channel c;
        if (!mask) return c;
        c.mask = mask;
        c.shift = std::countr_zero(mask);
        c.max = mask >> c.shift;
        return c;
    }
};

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

// Decodes RLE8 (bits 8) or RLE4 (bits 4) into palette indices, bottom-up rows.
// Pixels the stream skips keep index 0. Overruns and truncation fail.
bool DecodeRle(std::span<const uint8_t> src, int bits, int w, int h, std::vector<uint8_t>& idx,
               std::string& error) {
    size_t p = 0;
    int x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](uint8_t v) {
        if (x >= w || y >= h) return false;
        idx[size_t(y) * w + x] = v;
        ++x;
        return true;
    };
    while (true) {
        if (p + 2 > src.size()) return Fail(error, "RLE data ends before its end marker");
        const uint8_t a = src[p], b = src[p + 1];
        p += 2;
        if (a > 0) {
            for (int i = 0; i < a; ++i) {
                const uint8_t v = bits == 8 ? b : ((i & 1) ? (b & 15) : (b >> 4));
                if (!put(v)) return Fail(error, "RLE run goes past the end of a row");
            }
        } else if (b == 0) {  // end of line
            x = 0;
            if (++y > h) return Fail(error, "RLE data goes past the last row");
        } else if (b == 1) {  // end of bitmap
            return true;
        } else if (b == 2) {  // delta
            if (p + 2 > src.size()) return Fail(error, "RLE data ends inside a delta");
            x += src[p];
            y += src[p + 1];
            p += 2;
            if (x > w || y > h || (y == h && x > 0)) return Fail(error, "RLE delta leaves the picture");
        } else {  // absolute run of b pixels, padded to 16 bits
            const size_t bytes = bits == 8 ? b : (b + 1) / 2;
            if (p + bytes > src.size()) return Fail(error, "RLE data ends inside a literal run");
            for (int i = 0; i < b; ++i) {
                const uint8_t byte = src[p + (bits == 8 ? i : i / 2)];
                const uint8_t v = bits == 8 ? byte : ((i & 1) ? (byte & 15) : (byte >> 4));
                if (!put(v)) return Fail(error, "RLE literal run goes past the end of a row");
            }
            p += (bytes + 1) & ~size_t(1);
        }
    }
}

}  // namespace

namespace {

bool DecodeBmpInto(std::span<const uint8_t> d, Image& out, std::string& error) {
    const size_t n = d.size();
    if (n < 26 || d[0] != 'B' || d[1] != 'M') return Fail(error, "not a BMP file");
    const uint32_t pixel_offset = U32(&d[10]);
    const uint32_t hs = U32(&d[14]);
    const bool os2v1 = hs == 12;
    const bool os2v2 = hs == 16 || hs == 64;
    if (!os2v1 && !os2v2 && hs != 40 && hs != 52 && hs != 56 && hs != 108 && hs != 124)
        return Fail(error, "unknown BMP header size");
    if (14 + uint64_t(hs) > n) return Fail(error, "BMP header is cut short");
    const uint8_t* h = &d[14];
    int64_t width, height;
    uint32_t planes, bpp, compression = 0, colours_used = 0;
    if (os2v1) {
        width = U16(h + 4);
        height = int16_t(U16(h + 6));
        planes = U16(h + 8);
        bpp = U16(h + 10);
    } else {
        width = int32_t(U32(h + 4));
        height = int32_t(U32(h + 8));
        planes = U16(h + 12);
        bpp = U16(h + 14);
        if (hs >= 20) compression = U32(h + 16);
        if (hs >= 36) colours_used = U32(h + 32);
    }
    if (planes != 1) return Fail(error, "BMP planes is not 1");
    if (width <= 0 || height == 0) return Fail(error, "BMP has no pixels or a negative width");
    const bool top_down = height < 0;
    if (top_down) height = -height;
    if (uint64_t(width) * uint64_t(height) > kMaxImagePixels) return Fail(error, "BMP is too large");

    enum { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };
    if (os2v2 && compression != kRgb) return Fail(error, "unsupported OS/2 BMP compression");
    const bool rle = compression == kRle8 || compression == kRle4;
    if (compression == kRle8 && bpp != 8) return Fail(error, "RLE8 needs 8 bits per pixel");
    if (compression == kRle4 && bpp != 4) return Fail(error, "RLE4 needs 4 bits per pixel");
    if (rle && top_down) return Fail(error, "RLE BMP cannot be top-down");
    const bool fields = compression == kBitfields || compression == kAlphaBitfields;
    if (fields && bpp != 16 && bpp != 32) return Fail(error, "bit fields need 16 or 32 bits per pixel");
    if (compression != kRgb && !rle && !fields) return Fail(error, "unsupported BMP compression");
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return Fail(error, "unsupported BMP bits per pixel");

    // Masks: inside the header from v2 on, else right after a 40-byte header.
    size_t after_header = 14 + hs;
    Channel cr, cg, cb, ca;
    if (fields) {
        const uint8_t* m = h + 40;
        size_t mask_bytes = hs >= 52 ? hs - 40 : 0;
        if (hs < 52) {
            mask_bytes = compression == kAlphaBitfields ? 16 : 12;
            if (after_header + mask_bytes > n) return Fail(error, "BMP bit fields are cut short");
            m = &d[after_header];
            after_header += mask_bytes;
        }
        cr = Channel::From(U32(m));
        cg = Channel::From(U32(m + 4));
        cb = Channel::From(U32(m + 8));
        // The alpha mask only where the file has one: a v2 header holds three masks.
        if (mask_bytes >= 16 && (compression == kAlphaBitfields || hs >= 56)) ca = Channel::From(U32(m + 12));
    } else if (bpp == 16) {
        cr = Channel::From(0x7c00);
        cg = Channel::From(0x03e0);
        cb = Channel::From(0x001f);
    } else if (bpp >= 24) {
        cr = Channel::From(0xff0000);
        cg = Channel::From(0x00ff00);
        cb = Channel::From(0x0000ff);
    }

    uint8_t palette[256][3] = {};
    uint32_t palette_size = 0;
    if (bpp <= 8) {
        const size_t entry = os2v1 ? 3 : 4;
        uint64_t count = colours_used ? colours_used : (1u << bpp);
        if (os2v1) count = 1u << bpp;
        // The stated palette must be in the file, even where we use only its start.
        if (after_header + count * entry > n) return Fail(error, "BMP palette is larger than the file");
        palette_size = uint32_t(std::min<uint64_t>(count, 256));
        for (uint32_t i = 0; i < palette_size; ++i) {
            const uint8_t* e = &d[after_header + i * entry];
            palette[i][0] = e[2];
            palette[i][1] = e[1];
            palette[i][2] = e[0];
        }
    }
    if (pixel_offset >= n) return Fail(error, "BMP pixel data lies outside the file");
    const std::span<const uint8_t> px = d.subspan(pixel_offset);

    const int w = int(width), hgt = int(height);
    out.width = w;
    out.height = hgt;
    std::vector<uint8_t> indices;
    if (rle) {
        // Runs and skips can describe many pixels per byte, but not without bound.
        if (uint64_t(w) * hgt > uint64_t(px.size()) * 256)
            return Fail(error, "BMP is larger than its RLE data can describe");
        indices.assign(size_t(w) * hgt, 0);
        if (!DecodeRle(px, bpp, w, hgt, indices, error)) {
            out = Image{};
            return false;
        }
    } else {
        const uint64_t stride = (uint64_t(w) * bpp + 31) / 32 * 4;
        if (stride * hgt > px.size()) return Fail(error, "BMP pixel data is cut short");
    }
    out.rgba.resize(size_t(w) * hgt * 4);
    const uint64_t stride = (uint64_t(w) * bpp + 31) / 32 * 4;
    for (int row = 0; row < hgt; ++row) {
        const int file_row = top_down ? row : hgt - 1 - row;  // file row index of output row
        uint8_t* o = &out.rgba[size_t(row) * w * 4];
        const uint8_t* s = rle ? nullptr : px.data() + stride * file_row;
        for (int x = 0; x < w; ++x, o += 4) {
            if (bpp <= 8) {
                uint32_t i;
                if (rle) {
                    i = indices[size_t(file_row) * w + x];
                } else {
                    const uint32_t bit = uint32_t(x) * bpp;
                    i = (s[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                }
                if (i >= palette_size) {
                    out = Image{};
                    return Fail(error, "BMP pixel uses a colour beyond its palette");
                }
                o[0] = palette[i][0];
                o[1] = palette[i][1];
                o[2] = palette[i][2];
                o[3] = 255;
                continue;
            }
            uint32_t v;
            if (bpp == 16) v = U16(s + x * 2);
            else if (bpp == 24) v = uint32_t(s[x * 3]) | uint32_t(s[x * 3 + 1]) << 8 | uint32_t(s[x * 3 + 2]) << 16;
            else v = U32(s + x * 4);
            o[0] = cr.Get(v, 0);
            o[1] = cg.Get(v, 0);
            o[2] = cb.Get(v, 0);
            o[3] = ca.Get(v, 255);
        }
    }
    return true;
}

}  // namespace

// Decodes into a scratch image so a failure anywhere leaves out empty.
bool DecodeBmp(std::span<const uint8_t> d, Image& out, std::string& error) {
    Image img;
    const bool ok = DecodeBmpInto(d, img, error);
    out = ok ? std::move(img) : Image{};
    return ok;
}

}  // namespace platform::rm

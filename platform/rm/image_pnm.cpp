// Netpbm decoding: P6/P3 colour, P5/P2 grey, P4/P1 bitmaps, comments, any maxval up
// to 65535 (scaled to 8 bits with rounding), and the dispatch by magic bytes.
#include <cstdio>
#include <cstring>
#include <cerrno>

#include "platform/files/read_file.h"
#include "platform/rm/image.h"

namespace platform::rm {

namespace {

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

struct Cursor {
    std::span<const uint8_t> d;
    size_t p = 0;

    // Skips white space and '#' comments; false at the end of the data.
    bool SkipSpace() {
        while (p < d.size()) {
            if (IsSpace(d[p])) {
                ++p;
            } else if (d[p] == '#') {
                while (p < d.size() && d[p] != '\n' && d[p] != '\r') ++p;
            } else {
                return true;
            }
        }
        return false;
    }
    // A decimal number of at most max_digits digits (so it cannot overflow).
    bool Number(uint32_t& v, int max_digits = 9) {
        if (!SkipSpace() || d[p] < '0' || d[p] > '9') return false;
        v = 0;
        int digits = 0;
        while (p < d.size() && d[p] >= '0' && d[p] <= '9') {
            if (++digits > max_digits) return false;
            v = v * 10 + (d[p++] - '0');
        }
        return true;
    }
};

}  // namespace

namespace {

bool DecodePnmInto(std::span<const uint8_t> d, Image& out, std::string& error) {
    if (d.size() < 3 || d[0] != 'P' || d[1] < '1' || d[1] > '6') return Fail(error, "not a PPM, PGM or PBM file");
    const int kind = d[1] - '0';
    const bool plain = kind <= 3;
    const int channels = (kind == 3 || kind == 6) ? 3 : 1;
    const bool bitmap = kind == 1 || kind == 4;
    Cursor c{d, 2};
    if (!IsSpace(d[2]) && d[2] != '#') return Fail(error, "no separator after the PNM magic");
    uint32_t w, h, maxval = 1;
    if (!c.Number(w) || !c.Number(h)) return Fail(error, "bad PNM width or height");
    if (!bitmap && !c.Number(maxval)) return Fail(error, "bad PNM maxval");
    if (w == 0 || h == 0) return Fail(error, "PNM has no pixels");
    if (maxval == 0 || maxval > 65535) return Fail(error, "PNM maxval is out of range");
    if (uint64_t(w) * h > kMaxImagePixels) return Fail(error, "PNM is too large");
    const uint64_t samples = uint64_t(w) * h * channels;

    std::vector<uint16_t> values;
    if (plain) {
        // Every sample takes at least one byte of text.
        if (samples > d.size() - c.p) return Fail(error, "PNM raster is cut short");
        values.resize(samples);
        for (uint64_t i = 0; i < samples; ++i) {
            uint32_t v;
            if (bitmap) {  // P1 digits may run together
                if (!c.SkipSpace() || (d[c.p] != '0' && d[c.p] != '1')) return Fail(error, "bad PBM sample");
                v = d[c.p++] - '0';
            } else if (!c.Number(v, 5)) {
                return Fail(error, "bad or missing PNM sample");
            }
            if (v > maxval) return Fail(error, "PNM sample exceeds maxval");
            values[i] = uint16_t(v);
        }
    } else {
        // Exactly one white-space byte separates the header from the raster.
        if (c.p >= d.size() || !IsSpace(d[c.p])) return Fail(error, "PNM raster is missing");
        ++c.p;
        const uint64_t row_bytes = bitmap ? (w + 7) / 8 : uint64_t(w) * channels * (maxval > 255 ? 2 : 1);
        if (row_bytes * h > d.size() - c.p) return Fail(error, "PNM raster is cut short");
        values.resize(samples);
        const uint8_t* r = &d[c.p];
        for (uint32_t y = 0; y < h; ++y, r += row_bytes) {
            for (uint64_t i = 0; i < uint64_t(w) * channels; ++i) {
                uint32_t v;
                if (bitmap) v = (r[i / 8] >> (7 - i % 8)) & 1;
                else if (maxval > 255) v = uint32_t(r[i * 2]) << 8 | r[i * 2 + 1];
                else v = r[i];
                if (v > maxval) return Fail(error, "PNM sample exceeds maxval");
                values[uint64_t(y) * w * channels + i] = uint16_t(v);
            }
        }
    }
    out.width = int(w);
    out.height = int(h);
    out.rgba.resize(size_t(w) * h * 4);
    for (uint64_t i = 0, n = uint64_t(w) * h; i < n; ++i) {
        uint8_t* o = &out.rgba[i * 4];
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = values[i * channels + (channels == 3 ? k : 0)];
            // PBM: 1 is black.
            o[k] = bitmap ? (v ? 0 : 255) : uint8_t((v * 255u + maxval / 2) / maxval);
        }
        o[3] = 255;
    }
    return true;
}

}  // namespace

// Decodes into a scratch image so a failure anywhere leaves out empty.
bool DecodePnm(std::span<const uint8_t> d, Image& out, std::string& error) {
    Image img;
    const bool ok = DecodePnmInto(d, img, error);
    out = ok ? std::move(img) : Image{};
    return ok;
}

bool DecodeImage(std::span<const uint8_t> d, Image& out, std::string& error) {
    if (d.size() >= 2 && d[0] == 'B' && d[1] == 'M') return DecodeBmp(d, out, error);
    if (d.size() >= 2 && d[0] == 'P' && d[1] >= '1' && d[1] <= '6') return DecodePnm(d, out, error);
    if (d.empty()) {
        out = Image{};
        error = "empty file";
        return false;
    }
    return DecodeStbImage(d, out, error);
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
    return ReadRegularFile(path, kMaxFileBytes, out, &error);
}

}  // namespace platform::rm

// BMP and netpbm decoding from hand-made files: every pixel layout, orientation,
// and one fixture per kind of malformed input (which must fail and leave no image).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/rm/image.h"
#include "platform/rm/md5.h"
#include "platform/rm/texture.h"
#include "tests/support/temp_folder.h"

namespace rm = platform::rm;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A Windows BMP with a 40-byte header, the given palette (BGRX entries) or masks,
// and pixel bytes as they go into the file.
Bytes Bmp(int w, int h, int bpp, uint32_t compression, const Bytes& palette, const Bytes& pixels,
          const Bytes& masks = {}) {
    Bytes b(54);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 14, 40);
    Put32(b, 18, uint32_t(w));
    Put32(b, 22, uint32_t(h));
    Put16(b, 26, 1);
    Put16(b, 28, uint32_t(bpp));
    Put32(b, 30, compression);
    Put32(b, 46, uint32_t(palette.size() / 4));  // colours used
    b.insert(b.end(), masks.begin(), masks.end());
    b.insert(b.end(), palette.begin(), palette.end());
    Put32(b, 10, uint32_t(b.size()));
    b.insert(b.end(), pixels.begin(), pixels.end());
    Put32(b, 2, uint32_t(b.size()));
    return b;
}

std::string Pixel(const rm::Image& img, int x, int y) {
    const uint8_t* p = &img.rgba[(size_t(y) * img.width + x) * 4];
    char s[16];
    std::snprintf(s, sizeof s, "%02x%02x%02x", p[0], p[1], p[2]);
    return s;
}

rm::Image DecodeOk(const Bytes& b) {
    rm::Image img;
    std::string err;
    EXPECT_TRUE(rm::DecodeImage(b, img, err)) << err;
    return img;
}

void ExpectFails(const Bytes& b, const char* why_part) {
    rm::Image img;
    img.width = 5;
    std::string err;
    EXPECT_FALSE(rm::DecodeImage(b, img, err));
    EXPECT_NE(std::string::npos, err.find(why_part)) << "reason was: " << err;
    EXPECT_EQ(0, img.width);
    EXPECT_TRUE(img.rgba.empty());
}

// The bytes of a literal, embedded zeros included.
template <size_t N>
Bytes Text(const char (&s)[N]) {
    return Bytes(s, s + N - 1);
}

const Bytes kTwoColours = {0, 0, 255, 0, /* red */ 255, 0, 0, 0 /* blue */};

}  // namespace

TEST(BmpDecode, BottomUpRowsComeOutTopFirst) {
    // 2x2, 24 bits: file rows are bottom first and padded to 4 bytes.
    const Bytes px = {0, 0, 255, 0, 255, 0, 0, 0,   // bottom: red, green
                      255, 0, 0, 255, 255, 255, 0, 0};  // top: blue, white
    const rm::Image img = DecodeOk(Bmp(2, 2, 24, 0, {}, px));
    ASSERT_EQ(2, img.width);
    EXPECT_EQ("0000ff", Pixel(img, 0, 0));
    EXPECT_EQ("ffffff", Pixel(img, 1, 0));
    EXPECT_EQ("ff0000", Pixel(img, 0, 1));
    EXPECT_EQ("00ff00", Pixel(img, 1, 1));
}

TEST(BmpDecode, TopDownRowsKeepTheirOrder) {
    const Bytes px = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    const rm::Image img = DecodeOk(Bmp(2, -2, 24, 0, {}, px));
    EXPECT_EQ("ff0000", Pixel(img, 0, 0));
    EXPECT_EQ("ffffff", Pixel(img, 1, 1));
}

TEST(BmpDecode, PalettedDepthsUnpackMostSignificantBitsFirst) {
    // 1 bit: 10 pixels 1010000011 in one padded row.
    rm::Image one = DecodeOk(Bmp(10, 1, 1, 0, kTwoColours, {0xa0, 0xc0, 0, 0}));
    EXPECT_EQ("0000ff", Pixel(one, 0, 0));
    EXPECT_EQ("ff0000", Pixel(one, 1, 0));
    EXPECT_EQ("0000ff", Pixel(one, 2, 0));
    EXPECT_EQ("0000ff", Pixel(one, 9, 0));
    // 4 bits: indices 1, 0, 1.
    rm::Image four = DecodeOk(Bmp(3, 1, 4, 0, kTwoColours, {0x10, 0x10, 0, 0}));
    EXPECT_EQ("0000ff", Pixel(four, 0, 0));
    EXPECT_EQ("ff0000", Pixel(four, 1, 0));
    EXPECT_EQ("0000ff", Pixel(four, 2, 0));
    // 8 bits.
    rm::Image eight = DecodeOk(Bmp(2, 1, 8, 0, kTwoColours, {1, 0, 0, 0}));
    EXPECT_EQ("0000ff", Pixel(eight, 0, 0));
    EXPECT_EQ("ff0000", Pixel(eight, 1, 0));
}

TEST(BmpDecode, SixteenAndThirtyTwoBitsHonourMasks) {
    // Default 16-bit layout is 5-5-5: 0x7c00 is full red.
    rm::Image d16 = DecodeOk(Bmp(2, 1, 16, 0, {}, {0x00, 0x7c, 0x1f, 0x00}));
    EXPECT_EQ("ff0000", Pixel(d16, 0, 0));
    EXPECT_EQ("0000ff", Pixel(d16, 1, 0));
    // 5-6-5 bit fields: 0x07e0 is full green, 0x0400 is green 32/63.
    Bytes m565(12);
    Put32(m565, 0, 0xf800), Put32(m565, 4, 0x07e0), Put32(m565, 8, 0x001f);
    rm::Image f16 = DecodeOk(Bmp(2, 1, 16, 3, {}, {0xe0, 0x07, 0x00, 0x04}, m565));
    EXPECT_EQ("00ff00", Pixel(f16, 0, 0));
    EXPECT_EQ("008200", Pixel(f16, 1, 0));
    // 32 bits with masks in an unusual order.
    Bytes m32(12);
    Put32(m32, 0, 0x000000ff), Put32(m32, 4, 0x0000ff00), Put32(m32, 8, 0x00ff0000);
    rm::Image f32 = DecodeOk(Bmp(1, 1, 32, 3, {}, {0x11, 0x22, 0x33, 0x44}, m32));
    EXPECT_EQ("112233", Pixel(f32, 0, 0));
    EXPECT_EQ(255, f32.rgba[3]);  // no alpha mask: opaque
}

TEST(BmpDecode, RleRunsLiteralsDeltasAndEndOfLine) {
    // 4x3 RLE8: bottom row: run of 3 x index 1, end of line; middle row: literal
    // (0, 1, 0) padded; top row: delta right 2, then run of 2 x index 1; end.
    const Bytes rle = {3, 1, 0, 0, 0, 3, 0, 1, 0, 0, 0, 0, 0, 2, 2, 0, 2, 1, 0, 1};
    const rm::Image img = DecodeOk(Bmp(4, 3, 8, 1, kTwoColours, rle));
    EXPECT_EQ("0000ff", Pixel(img, 0, 2));
    EXPECT_EQ("0000ff", Pixel(img, 2, 2));
    EXPECT_EQ("ff0000", Pixel(img, 3, 2));  // skipped: index 0
    EXPECT_EQ("0000ff", Pixel(img, 1, 1));
    EXPECT_EQ("ff0000", Pixel(img, 1, 0));  // skipped by the delta
    EXPECT_EQ("0000ff", Pixel(img, 2, 0));
    EXPECT_EQ("0000ff", Pixel(img, 3, 0));
    // RLE4: a run alternates the two nibbles.
    const rm::Image four = DecodeOk(Bmp(3, 1, 4, 2, kTwoColours, {3, 0x10, 0, 1}));
    EXPECT_EQ("0000ff", Pixel(four, 0, 0));
    EXPECT_EQ("ff0000", Pixel(four, 1, 0));
    EXPECT_EQ("0000ff", Pixel(four, 2, 0));
}

TEST(BmpDecode, Os2HeaderWithThreeBytePalette) {
    Bytes b(26);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 14, 12);
    Put16(b, 18, 2), Put16(b, 20, 1), Put16(b, 22, 1), Put16(b, 24, 1);
    const Bytes pal = {0, 0, 255, 255, 0, 0};
    b.insert(b.end(), pal.begin(), pal.end());
    Put32(b, 10, uint32_t(b.size()));
    const Bytes px = {0x40, 0, 0, 0};
    b.insert(b.end(), px.begin(), px.end());
    const rm::Image img = DecodeOk(b);
    EXPECT_EQ("ff0000", Pixel(img, 0, 0));
    EXPECT_EQ("0000ff", Pixel(img, 1, 0));
}

TEST(BmpDecode, MalformedFilesFailCleanly) {
    const Bytes ok = Bmp(2, 2, 8, 0, kTwoColours, {0, 1, 0, 0, 1, 0, 0, 0});
    ASSERT_EQ(2, DecodeOk(ok).width);
    ExpectFails(Bytes(ok.begin(), ok.begin() + 20), "not a BMP");
    ExpectFails(Bytes(ok.begin(), ok.end() - 1), "cut short");
    Bytes planes = ok;
    Put16(planes, 26, 2);
    ExpectFails(planes, "planes");
    Bytes header = ok;
    Put32(header, 14, 66);
    ExpectFails(header, "header size");
    Bytes bits = ok;
    Put16(bits, 28, 7);
    ExpectFails(bits, "bits per pixel");
    Bytes width = ok;
    Put32(width, 18, uint32_t(-2));
    ExpectFails(width, "negative width");
    Bytes huge = ok;
    Put32(huge, 18, 3000000), Put32(huge, 22, 2000000);
    ExpectFails(huge, "too large");
    Bytes big_but_allowed = ok;  // within the pixel cap, but the file holds 8 bytes of pixels
    Put32(big_but_allowed, 18, 4000), Put32(big_but_allowed, 22, 4000);
    ExpectFails(big_but_allowed, "cut short");
    Bytes palette = ok;
    Put32(palette, 46, 0x7fffffff);
    ExpectFails(palette, "palette");
    Bytes index = ok;
    index.back() = 0, index[index.size() - 8] = 9;  // index 9 of a 2-colour palette
    ExpectFails(index, "beyond its palette");
    Bytes offset = ok;
    Put32(offset, 10, 5000);
    ExpectFails(offset, "outside the file");
    ExpectFails(Bmp(2, 2, 24, 4, {}, {1, 2, 3, 4}), "compression");
    ExpectFails(Bmp(2, 1, 24, 3, {}, {0, 0, 0, 0, 0, 0, 0, 0}, Bytes(12)), "bit fields");
}

TEST(BmpDecode, RleThatWouldOverrunFails) {
    ExpectFails(Bmp(2, 1, 8, 1, kTwoColours, {3, 1, 0, 1}), "past the end of a row");
    ExpectFails(Bmp(2, 1, 8, 1, kTwoColours, {0, 3, 1, 1, 1, 0, 0, 1}), "past the end of a row");
    ExpectFails(Bmp(2, 2, 8, 1, kTwoColours, {0, 2, 0, 5, 0, 1}), "leaves the picture");
    ExpectFails(Bmp(2, 1, 8, 1, kTwoColours, {0, 0, 0, 0, 0, 1}), "past the last row");
    ExpectFails(Bmp(2, 1, 8, 1, kTwoColours, {2, 1}), "before its end marker");
    ExpectFails(Bmp(2, 1, 8, 1, kTwoColours, {0, 4, 1}), "inside a literal run");
    ExpectFails(Bmp(2, 2, 8, 1, kTwoColours, {0, 2, 1}), "inside a delta");
    ExpectFails(Bmp(2, -2, 8, 1, kTwoColours, {0, 1}), "top-down");
    // A tiny stream cannot claim a gigantic picture.
    ExpectFails(Bmp(8000, 8000, 8, 1, kTwoColours, {0, 1}), "RLE data can describe");
}

TEST(BmpDecode, FoundByFuzzingAlphaMaskPastAShortHeader) {
    // A 52-byte (v2) header holds three masks; with "alpha bit fields" the decoder
    // once read a fourth past the end of a file that ends with the header.
    Bytes b(14 + 52);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 10, 66);
    Put32(b, 14, 52);
    Put32(b, 18, 1), Put32(b, 22, 1);
    Put16(b, 26, 1), Put16(b, 28, 16);
    Put32(b, 30, 6);
    Put32(b, 54, 0xf800), Put32(b, 58, 0x07e0), Put32(b, 62, 0x001f);
    ExpectFails(b, "outside the file");
    b.insert(b.end(), {0x00, 0xf8, 0, 0});
    const rm::Image img = DecodeOk(b);
    EXPECT_EQ("ff0000", Pixel(img, 0, 0));
    EXPECT_EQ(255, img.rgba[3]);
}

TEST(PnmDecode, AllSixKindsWithCommentsAndScaling) {
    const rm::Image p6 = DecodeOk(Text("P6\n# comment\n2 1\n255\n\x01\x02\x03\xff\x80\x00"));
    EXPECT_EQ("010203", Pixel(p6, 0, 0));
    EXPECT_EQ("ff8000", Pixel(p6, 1, 0));
    const rm::Image p3 = DecodeOk(Text("P3 2 1 # size\n15 15 0 0\n0 7 15"));
    EXPECT_EQ("ff0000", Pixel(p3, 0, 0));
    EXPECT_EQ("0077ff", Pixel(p3, 1, 0));  // 7 * 255 / 15 = 119
    const rm::Image p5 = DecodeOk(Text("P5 1 2 65535\n\xff\xff\x80\x00"));
    EXPECT_EQ("ffffff", Pixel(p5, 0, 0));
    EXPECT_EQ("808080", Pixel(p5, 0, 1));  // 32768 * 255 / 65535 rounds to 128
    const rm::Image p2 = DecodeOk(Text("P2 2 1 3 0 2"));
    EXPECT_EQ("000000", Pixel(p2, 0, 0));
    EXPECT_EQ("aaaaaa", Pixel(p2, 1, 0));
    const rm::Image p1 = DecodeOk(Text("P1 3 1 101"));
    EXPECT_EQ("000000", Pixel(p1, 0, 0));  // 1 is black
    EXPECT_EQ("ffffff", Pixel(p1, 1, 0));
    const rm::Image p4 = DecodeOk(Text("P4 9 1\n\x80\x80"));
    EXPECT_EQ("000000", Pixel(p4, 0, 0));
    EXPECT_EQ("ffffff", Pixel(p4, 1, 0));
    EXPECT_EQ("000000", Pixel(p4, 8, 0));
}

TEST(PnmDecode, MalformedFilesFailCleanly) {
    ExpectFails(Text("P632 358888888632!"), "separator");
    ExpectFails(Text("P6 0 0 0\n"), "no pixels");
    ExpectFails(Text("P6 2 2 0\n"), "maxval");
    ExpectFails(Text("P6 2 2 70000\n"), "maxval");
    ExpectFails(Text("P6 99999999999 2 255\n"), "width or height");
    ExpectFails(Text("P6 100000 100000 255\nabc"), "too large");
    ExpectFails(Text("P6 4000 4000 255\nabc"), "cut short");
    ExpectFails(Text("P3 4000 4000 255\n1 2 3"), "cut short");
    ExpectFails(Text("P3 1 1 255\n1 2"), "sample");
    ExpectFails(Text("P3 1 1 10\n1 2 11"), "exceeds maxval");
    ExpectFails(Text("P5 1 1 10\n\x0b"), "exceeds maxval");
    ExpectFails(Text("P3 2\x01 1 255\n"), "width or height");
    ExpectFails(Text("P7\nWIDTH 1\n"), "not a BMP, PPM, PNG, JPEG, TGA or GIF image");
    ExpectFails({}, "empty");
}

TEST(PixelDigest, Md5OfKnownInputs) {
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", rm::Md5Hex({}));
    const Bytes abc = Text("abc");
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", rm::Md5Hex(abc));
    const Bytes long_text = Text("12345678901234567890123456789012345678901234567890123456789012345678901234567890");
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a", rm::Md5Hex(long_text));
    rm::Image img;
    img.width = 1, img.height = 1, img.rgba = {'a', 'b', 'c', 0x99};
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", rm::RgbMd5(img));
}

TEST(FileBytes, OnlyARegularFileIsRead) {
    TempFolder folder;
    const std::string dir = folder.File("");
    const std::string file = folder.File("three.bin");
    std::ofstream(folder.path() / "three.bin", std::ios::binary) << "abc";
    Bytes bytes;
    std::string error;
    ASSERT_TRUE(rm::ReadFileBytes(file, bytes, error)) << error;
    EXPECT_EQ(bytes, Text("abc"));
    // A folder seeks to an end of no meaning.
    for (const std::string& path : {dir, folder.File("missing")}) {
        bytes = Text("old");
        error.clear();
        EXPECT_FALSE(rm::ReadFileBytes(path, bytes, error)) << path;
        EXPECT_TRUE(bytes.empty()) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
    EXPECT_EQ(rm::Texture::Load(dir), nullptr);
}

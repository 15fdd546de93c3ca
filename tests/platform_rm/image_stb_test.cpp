// PNG, JPEG and GIF pictures through DecodeImage: pixels and alpha, size limits,
// and broken files failing with a reason.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/rm/image.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace rm = platform::rm;

namespace {

using Bytes = std::vector<uint8_t>;

void Append(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

// A 4 x 2 picture: red, green, blue, white over black, grey, half-clear red, clear.
Bytes Pixels() {
    return {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255,
            0, 0, 0, 255, 128, 128, 128, 255, 255, 0, 0, 128, 0, 0, 0, 0};
}

Bytes Png(const Bytes& rgba, int w, int h, int channels = 4) {
    Bytes out;
    stbi_write_png_to_func(Append, &out, w, h, channels, rgba.data(), w * channels);
    return out;
}

rm::Image Decode(const Bytes& b) {
    rm::Image img;
    std::string err;
    EXPECT_TRUE(rm::DecodeImage(b, img, err)) << err;
    return img;
}

std::string Fails(const Bytes& b) {
    rm::Image img;
    img.width = 3;
    std::string err;
    EXPECT_FALSE(rm::DecodeImage(b, img, err));
    EXPECT_EQ(0, img.width);
    EXPECT_TRUE(img.rgba.empty());
    return err;
}

// A PNG signature and an IHDR chunk for the given size; no picture data follows.
Bytes PngHeader(uint32_t w, uint32_t h) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
    b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
    return b;
}

TEST(Pictures, PngKeepsEveryPixelAndItsAlpha) {
    const rm::Image img = Decode(Png(Pixels(), 4, 2));
    ASSERT_EQ(4, img.width);
    ASSERT_EQ(2, img.height);
    EXPECT_EQ(Pixels(), img.rgba);
}

TEST(Pictures, PngWithoutAlphaIsOpaque) {
    const Bytes rgb = {10, 20, 30, 40, 50, 60};
    const rm::Image img = Decode(Png(rgb, 1, 2, 3));
    EXPECT_EQ((Bytes{10, 20, 30, 255, 40, 50, 60, 255}), img.rgba);
}

TEST(Pictures, JpegDecodesNearItsColours) {
    // A flat orange 16 x 16 block survives JPEG within a few levels.
    Bytes rgb;
    for (int i = 0; i < 256; ++i) rgb.insert(rgb.end(), {240, 120, 16});
    Bytes jpeg;
    ASSERT_TRUE(stbi_write_jpg_to_func(Append, &jpeg, 16, 16, 3, rgb.data(), 95));
    const rm::Image img = Decode(jpeg);
    ASSERT_EQ(16, img.width);
    ASSERT_EQ(16, img.height);
    for (size_t i = 0; i < img.rgba.size(); i += 4) {
        EXPECT_NEAR(240, img.rgba[i], 4);
        EXPECT_NEAR(120, img.rgba[i + 1], 4);
        EXPECT_NEAR(16, img.rgba[i + 2], 4);
        EXPECT_EQ(255, img.rgba[i + 3]);
    }
}

TEST(Pictures, TgaComesFree) {
    Bytes tga;
    ASSERT_TRUE(stbi_write_tga_to_func(Append, &tga, 4, 2, 4, Pixels().data()));
    EXPECT_EQ(Pixels(), Decode(tga).rgba);
}

TEST(Pictures, DecompressionBombsAreRefusedBeforeTheyAreDecoded) {
    EXPECT_NE(std::string::npos, Fails(PngHeader(65535, 65535)).find("picture too large"));
    // 8193 x 8193 is just over the limit of 2^26 pixels.
    EXPECT_EQ("picture too large (8193 x 8193)", Fails(PngHeader(8193, 8193)));
    EXPECT_NE(std::string::npos, Fails(PngHeader(0, 5)).find("broken PNG picture"));
    // Under the limit, but more than the file could hold: refused before anything is
    // allocated for it.
    EXPECT_EQ("broken PNG picture (too little data for its size)", Fails(PngHeader(4000, 4000)));
    Bytes jpeg;
    std::vector<uint8_t> grey(64 * 64, 128);
    ASSERT_TRUE(stbi_write_jpg_to_func(Append, &jpeg, 64, 64, 1, grey.data(), 90));
    // The frame header's height and width, as big as the limit allows.
    for (size_t i = 2; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) {
            jpeg[i + 5] = 0x1f, jpeg[i + 6] = 0xff, jpeg[i + 7] = 0x1f, jpeg[i + 8] = 0xff;
            break;
        }
    EXPECT_EQ("broken JPEG picture (too little data for its size)", Fails(jpeg));
}

TEST(Pictures, PartsThatClaimMoreThanTheFileHoldsAreRefused) {
    // A PNG chunk stated 2 GB long.
    Bytes png = Png(Pixels(), 4, 2);
    Bytes longer = png;
    longer[33] = 0x7f;  // the first chunk after IHDR
    EXPECT_EQ("broken PNG picture (a part longer than the file)", Fails(longer));
    // A JPEG Huffman table of more than 256 codes.
    Bytes jpeg;
    ASSERT_TRUE(stbi_write_jpg_to_func(Append, &jpeg, 8, 8, 3, std::vector<uint8_t>(192, 50).data(), 90));
    size_t dht = 0;
    while (dht + 1 < jpeg.size() && !(jpeg[dht] == 0xff && jpeg[dht + 1] == 0xc4)) ++dht;
    ASSERT_LT(dht + 21, jpeg.size());
    for (size_t i = 0; i < 16; ++i) jpeg[dht + 5 + i] = 17;
    EXPECT_EQ("broken JPEG picture (a bad table, or a part longer than the file)", Fails(jpeg));
    // A scan that uses a table never defined (the decoder would read it uninitialised).
    jpeg.clear();
    ASSERT_TRUE(stbi_write_jpg_to_func(Append, &jpeg, 8, 8, 3, std::vector<uint8_t>(192, 50).data(), 90));
    size_t sos = 0;
    while (sos + 1 < jpeg.size() && !(jpeg[sos] == 0xff && jpeg[sos + 1] == 0xda)) ++sos;
    ASSERT_LT(sos + 7, jpeg.size());
    jpeg[sos + 6] = 0x33;  // the first component's DC and AC tables: 3, never defined
    EXPECT_EQ("broken JPEG picture (a bad table, or a part longer than the file)", Fails(jpeg));
}

TEST(Pictures, BrokenOrForeignFilesFailWithAReason) {
    const Bytes good = Png(Pixels(), 4, 2);
    EXPECT_NE(std::string::npos, Fails(Bytes(good.begin(), good.begin() + 40)).find("broken"));
    // A PNG whose header is complete but whose picture data is cut short.
    EXPECT_FALSE(Fails(Bytes(good.begin(), good.end() - 20)).empty());
    Bytes jpeg = {0xff, 0xd8, 0xff, 0xe0, 0, 16, 'J', 'F', 'I', 'F', 0};
    EXPECT_FALSE(Fails(jpeg).empty());
    EXPECT_EQ("not a BMP, PPM, PNG, JPEG, TGA or GIF image", Fails({'h', 'e', 'l', 'l', 'o', '!'}));
}

}  // namespace

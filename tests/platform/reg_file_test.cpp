// The registry file's two text forms: what a 5.00 export holds reads into the code
// page, a 5.00 document writes back as it was read, and broken files are refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "../support/utf16_files.h"
#include "platform/registry/reg_file.h"

using namespace platform;
using regtest::Utf16BigEndianFile;
using regtest::Utf16File;
using regtest::Utf16FileWithNul;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

const std::u16string kHeader = u"Windows Registry Editor Version 5.00\r\n\r\n";

const RegValue& ValueOf(const RegFile& file, std::string_view key, std::string_view name) {
    static const RegValue none;
    const RegKey* k = file.document.Find(key);
    const RegValue* v = k ? k->Find(name) : nullptr;
    return v ? *v : none;
}

}  // namespace

TEST(RegFileRead, TakesEveryValueFormOfAUtf16Export) {
    const std::string bytes = Utf16File(
        kHeader +
        u"[HKEY_CURRENT_USER\\K]\r\n"
        u"\"Text\"=\"C:\\\\Program Files\\\\caf\u00e9 \\\"x\\\"\"\r\n"
        u"; a comment\r\n"
        u"\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        u"\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
        u"\"Sz\"=hex(1):e9,00,00,00,7a,00\r\n"
        u"\"Bin\"=hex:01,02,\\\r\n  03\r\n"
        u"\"D\"=dword:0000002a\r\n"
        u"\"Gone\"=\"x\"\r\n"
        u"\"Gone\"=-\r\n"
        u"@=\"default\"\r\n"
        u"[-HKEY_CURRENT_USER\\Old]\r\n\r\n");
    std::string error;
    const auto file = ParseRegFile(bytes, 1252, &error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->form, RegFileForm::kVersion5);
    EXPECT_TRUE(file->warnings.empty());
    const std::string k = "HKEY_CURRENT_USER\\K";
    EXPECT_EQ(ValueOf(*file, k, "Text").type, kRegSz);
    EXPECT_EQ(ValueOf(*file, k, "Text").data, Bytes(std::string_view("C:\\Program Files\\caf\xE9 \"x\"\0", 26)));
    EXPECT_EQ(ValueOf(*file, k, "Expand").type, kRegExpandSz);
    EXPECT_EQ(ValueOf(*file, k, "Expand").data, Bytes(std::string_view("%A%\0", 4)));
    EXPECT_EQ(ValueOf(*file, k, "Multi").data, Bytes(std::string_view("a\0b\0\0", 5)));
    EXPECT_EQ(ValueOf(*file, k, "Sz").data, Bytes(std::string_view("\xE9\0z", 3)));
    EXPECT_EQ(ValueOf(*file, k, "Bin").data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(ValueOf(*file, k, "D").data, (std::vector<std::uint8_t>{42, 0, 0, 0}));
    EXPECT_EQ(file->document.Find(k)->Find("Gone"), nullptr);
    EXPECT_EQ(ValueOf(*file, k, "").data, Bytes(std::string_view("default\0", 8)));
}

TEST(RegFileRead, TakesUtf8FilesWithOrWithoutAMarkAndPlainLineEnds) {
    const std::string body =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"\xE6\x97\xA5\"\n";
    for (const std::string& bytes : {body, "\xEF\xBB\xBF" + body}) {
        const auto file = ParseRegFile(bytes, 932);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->form, RegFileForm::kVersion5);
        // U+65E5 in code page 932.
        EXPECT_EQ(ValueOf(*file, "HKEY_CURRENT_USER\\K", "A").data,
                  Bytes(std::string_view("\x93\xFA\0", 3)));
    }
    // A REGEDIT4 file stays code-page bytes, whatever they would be in UTF-8.
    const auto old = ParseRegFile("REGEDIT4\r\n[K]\r\n\"A\"=\"\xE9\"\r\n", 1252);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->form, RegFileForm::kRegedit4);
    EXPECT_EQ(ValueOf(*old, "K", "A").data, Bytes(std::string_view("\xE9\0", 2)));
}

TEST(RegFileRead, ATextTheCodePageLacksMakesThatOneValueAbsent) {
    const std::string bytes = Utf16File(kHeader +
                                        u"[HKEY_CURRENT_USER\\K]\r\n"
                                        u"\"Jp\"=\"\u65e5\u672c\"\r\n"
                                        u"\"Bad\"=hex(1):00,d8,41,00\r\n"
                                        u"\"Odd\"=hex(2):41,00,42\r\n"
                                        u"\"\u4e2d\"=dword:00000001\r\n"
                                        u"\"Fine\"=\"ok\"\r\n");
    const auto file = ParseRegFile(bytes, 1252);
    ASSERT_TRUE(file);
    const RegKey* k = file->document.Find("HKEY_CURRENT_USER\\K");
    ASSERT_NE(k, nullptr);
    EXPECT_FALSE(k->Find("Jp")->readable);
    EXPECT_FALSE(k->Find("Bad")->readable);
    EXPECT_FALSE(k->Find("Odd")->readable);
    EXPECT_TRUE(k->Find("Fine")->readable);
    EXPECT_EQ(k->values.size(), 5u) << "nothing is dropped";
    ASSERT_EQ(file->warnings.size(), 4u);
    EXPECT_NE(file->warnings[0].find("\"Jp\""), std::string::npos) << file->warnings[0];
    EXPECT_NE(file->warnings[0].find("U+65E5, which code page 1252 lacks"), std::string::npos)
        << file->warnings[0];
    EXPECT_NE(file->warnings[1].find("lone surrogate"), std::string::npos) << file->warnings[1];
    EXPECT_NE(file->warnings[2].find("odd number of bytes"), std::string::npos);
    EXPECT_NE(file->warnings[3].find("U+4E2D"), std::string::npos) << file->warnings[3];
    // Under code page 932 the Japanese text reads.
    const auto jp = ParseRegFile(bytes, 932);
    ASSERT_TRUE(jp);
    EXPECT_EQ(ValueOf(*jp, "HKEY_CURRENT_USER\\K", "Jp").data,
              Bytes(std::string_view("\x93\xFA\x96\x7B\0", 5)));
}

TEST(RegFileRead, RefusesBrokenFilesWithTheirReason) {
    const std::string good = Utf16File(kHeader + u"[K]\r\n\"A\"=\"1\"\r\n");
    std::string lone = Utf16File(kHeader + u"[K]\r\n\"A\"=\"1\"\r\n");
    lone.insert(lone.size() - 8, "\x00\xDC", 2);
    const std::string nul = Utf16FileWithNul(kHeader + u"[K]\r\n\"A\"=\"1", u"2\"\r\n");
    const std::string bigEndian = Utf16BigEndianFile(kHeader);
    const std::string longLine = "Windows Registry Editor Version 5.00\r\n[K]\r\n\"A\"=\"" +
                                 std::string(1 << 20, 'x') + "\"\r\n";
    const struct {
        const char* what;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"odd number of bytes", good + "x", "UTF-16LE with an odd number of bytes"},
        {"lone surrogate", lone, "line 4: a lone surrogate in UTF-16LE text"},
        {"UTF-16BE mark", bigEndian, "UTF-16BE, which the registry editor never writes"},
        {"REGEDIT4 behind a UTF-16 mark", Utf16File(u"REGEDIT4\r\n[K]\r\n"),
         "line 1: a REGEDIT4 header in a UTF-16 file"},
        {"NUL inside a quoted text", nul, "line 4: a NUL character in a name or a quoted text"},
        {"a line of a megabyte", longLine, "line 3: line longer than 262144 bytes"},
        {"UTF-8 that is not", "Windows Registry Editor Version 5.00\r\n[K]\r\n\"A\"=\"\xE9\"\r\n",
         "a 5.00 file that is neither UTF-16LE nor UTF-8"},
    };
    ASSERT_TRUE(ParseRegFile(good, 1252));
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseRegFile(c.bytes, 1252, &error)) << c.what;
        EXPECT_EQ(error, c.reason) << c.what;
    }
}

TEST(RegFileWrite, A5FileWritesBackAsItWasReadWithTheChangedValuesAnew) {
    const std::u16string body = u"[HKEY_CURRENT_USER\\K]\r\n"
                                u"\"Jp\"=\"\u65e5\"\r\n"
                                u"\"Odd\"=hex(1):41,00,42\r\n"
                                u"\"Text\"=\"caf\u00e9\"\r\n"
                                u"\"Big\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
                                u"  17\r\n"
                                u"\"D\"=dword:00000005\r\n"
                                u"\r\n"
                                u"[HKEY_CURRENT_USER\\\u4e2d]\r\n"
                                u"\"X\"=\"1\"\r\n"
                                u"\r\n";
    const std::string bytes = Utf16File(kHeader + body);
    auto file = ParseRegFile(bytes, 1252);
    ASSERT_TRUE(file);
    std::string out;
    ASSERT_TRUE(WriteRegFile(file->document, file->form, 1252, &out));
    EXPECT_EQ(out, bytes) << "nothing read is changed on the way back";

    RegValue& text = *file->document.Find("HKEY_CURRENT_USER\\K")->Find("Text");
    text.data = Bytes(std::string_view("\xE8t\xE9\0", 4));
    text.asRead.reset();
    file->document.keys[0].values.push_back(RegValue{"New", kRegExpandSz, Bytes(std::string_view("%x%\0", 4))});
    ASSERT_TRUE(WriteRegFile(file->document, file->form, 1252, &out));
    const std::u16string changed = u"[HKEY_CURRENT_USER\\K]\r\n"
                                   u"\"Jp\"=\"\u65e5\"\r\n"
                                   u"\"Odd\"=hex(1):41,00,42\r\n"
                                   u"\"Text\"=\"\u00e8t\u00e9\"\r\n";
    EXPECT_EQ(out.substr(0, Utf16File(kHeader + changed).size()), Utf16File(kHeader + changed));
    EXPECT_NE(out.find(Utf16File(u"\"New\"=hex(2):25,00,78,00,25,00,00,00\r\n").substr(2)),
              std::string::npos);

    // What follows a terminator is a buffer's leftover: bytes that are no text there
    // become question marks, the text and the size stay.
    std::string jp;
    const auto japanese = ParseRegFile(Utf16File(kHeader + u"[K]\r\n"), 932);
    ASSERT_TRUE(japanese);
    RegDocument withTail = japanese->document;
    withTail.keys[0].values.push_back(RegValue{"Path", kRegSz, {0x93, 0xFA, 0, 0xA0, 'a', 0}});
    ASSERT_TRUE(WriteRegFile(withTail, RegFileForm::kVersion5, 932, &jp));
    const auto tail = ParseRegFile(jp, 932);
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->document.keys[0].values[0].data,
              (std::vector<std::uint8_t>{0x93, 0xFA, 0, '?', 'a', 0}));

    // Bytes with no character in the code page cannot be written in Unicode.
    file->document.keys[0].values.push_back(RegValue{"Raw", kRegSz, {0x81, 0}});
    std::string error;
    EXPECT_FALSE(WriteRegFile(file->document, file->form, 1252, &out, &error));
    EXPECT_EQ(error, "value \"Raw\" holds bytes that are no text of code page 1252");
}

TEST(RegFileWrite, RandomDocumentsRoundTripInBothForms) {
    std::uint32_t seed = 7;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    RegDocument doc;
    for (int k = 0; k < 8; ++k) {
        RegKey key{"HKEY_CURRENT_USER\\K" + std::to_string(k), {}};
        for (int v = 0; v < 30; ++v) {
            RegValue value{"n\\\"" + std::to_string(v), kRegNone, {}};
            const std::uint32_t types[] = {kRegSz, kRegExpandSz, kRegBinary, kRegDword, kRegMultiSz, 11};
            value.type = types[next(6)];
            const std::size_t size = next(3) == 0 ? 4 : next(300);
            // Printable ASCII and Latin letters: text in 1252 and in Unicode alike.
            for (std::size_t i = 0; i < size; ++i) {
                value.data.push_back(static_cast<std::uint8_t>(next(2) ? 0x20 + next(95) : 0xC0 + next(64)));
            }
            if (next(2)) value.data.push_back(0);
            key.values.push_back(std::move(value));
        }
        doc.keys.push_back(std::move(key));
    }
    for (RegFileForm form : {RegFileForm::kRegedit4, RegFileForm::kVersion5}) {
        std::string out, again;
        ASSERT_TRUE(WriteRegFile(doc, form, 1252, &out));
        const auto back = ParseRegFile(out, 1252);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->form, form);
        ASSERT_EQ(back->document.keys.size(), doc.keys.size());
        for (std::size_t k = 0; k < doc.keys.size(); ++k) {
            ASSERT_EQ(back->document.keys[k].values.size(), doc.keys[k].values.size());
            for (std::size_t v = 0; v < doc.keys[k].values.size(); ++v) {
                EXPECT_EQ(back->document.keys[k].values[v].name, doc.keys[k].values[v].name);
                EXPECT_EQ(back->document.keys[k].values[v].type, doc.keys[k].values[v].type);
                EXPECT_EQ(back->document.keys[k].values[v].data, doc.keys[k].values[v].data);
            }
        }
        ASSERT_TRUE(WriteRegFile(back->document, back->form, 1252, &again));
        EXPECT_EQ(again, out);
    }
}

// Reading a 5.00 file stays linear in its size: the conversion into the code page
// goes value by value, once.
TEST(RegFileRead, ALarge5FileReadsInLinearTime) {
    std::u16string text = kHeader + u"[HKEY_CURRENT_USER\\K]\r\n";
    const int values = 200000;
    for (int i = 0; i < values; ++i) {
        const std::string n = std::to_string(i);
        text += u"\"v" + std::u16string(n.begin(), n.end()) + u"\"=\"caf\u00e9\"\r\n";
    }
    const std::string bytes = Utf16File(text);
    ASSERT_LT(bytes.size(), kMaxRegFileBytes);
    const auto start = std::chrono::steady_clock::now();
    const auto file = ParseRegFile(bytes, 1252);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(file);
    EXPECT_LT(seconds, 20.0);
    ASSERT_EQ(file->document.keys[0].values.size(), static_cast<std::size_t>(values));
    EXPECT_EQ(file->document.keys[0].values.back().data, Bytes(std::string_view("caf\xE9\0", 5)));
    std::printf("parsed %.1f MB of 5.00 in %.2f s\n", bytes.size() / 1e6, seconds);
}

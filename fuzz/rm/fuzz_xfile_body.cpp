// Fuzzes the X-file body parsers: the first byte picks an encoding and the rest is
// the body, given a valid header (and, for the compressed kinds, compressed here)
// so the fuzzer spends its time past the header and the inflater.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/rm/xfile.h"

namespace {

void AppendMszip(std::vector<uint8_t>& out, const uint8_t* body, size_t size) {
    const uint32_t total = uint32_t(size + 16);
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(total >> (8 * i)));
    for (size_t at = 0; at < size; at += 32768) {
        const size_t n = std::min<size_t>(32768, size - at);
        uLongf bound = compressBound(uLong(n)) + 64;
        std::vector<uint8_t> buf(bound);
        z_stream z{};
        deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        if (at > 0) {
            const size_t dict = std::min<size_t>(at, 32768);
            deflateSetDictionary(&z, body + at - dict, uInt(dict));
        }
        z.next_in = const_cast<Bytef*>(body + at);
        z.avail_in = uInt(n);
        z.next_out = buf.data();
        z.avail_out = uInt(buf.size());
        deflate(&z, Z_FINISH);
        const size_t c = buf.size() - z.avail_out;
        deflateEnd(&z);
        if (c + 2 > 0xffff) return;
        out.push_back(uint8_t(n)), out.push_back(uint8_t(n >> 8));
        out.push_back(uint8_t(c + 2)), out.push_back(uint8_t((c + 2) >> 8));
        out.push_back('C'), out.push_back('K');
        out.insert(out.end(), buf.begin(), buf.begin() + c);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* headers[] = {"xof 0303txt 0032", "xof 0302txt 0064", "xof 0303bin 0032",
                                    "xof 0303bin 0064", "xof 0303tzip0032", "xof 0303bzip0032",
                                    "xof 0303bzip0064"};
    const int kind = data[0] % 8;
    std::vector<uint8_t> file;
    if (kind == 7) {  // raw bytes as compressed data: the inflater's own input
        file.assign(headers[5], headers[5] + 16);
        file.insert(file.end(), data + 1, data + size);
    } else {
        file.assign(headers[kind], headers[kind] + 16);
        if (kind >= 4) AppendMszip(file, data + 1, size - 1);
        else file.insert(file.end(), data + 1, data + size);
    }
    platform::rm::MeshData mesh;
    std::string error;
    platform::rm::ParseXFile(file, mesh, error);
    return 0;
}

// MSZIP, the compression of "tzip" and "bzip" X files, through zlib.
#include <zlib.h>

#include <algorithm>

#include "platform/files/release_pages.h"
#include "platform/rm/xfile_reader.h"

namespace platform::rm::xfile {

// MSZIP: a DWORD with the inflated size (header included), then blocks of
// [uncompressed size:16][compressed size:16]["CK"][raw deflate], each block using
// the previous block's output as its dictionary.
bool InflateMszip(std::span<const uint8_t> d, std::vector<uint8_t>& out, std::string& error) {
    if (d.size() < 4) {
        error = "compressed file is cut short";
        return false;
    }
    uint32_t total;
    std::memcpy(&total, d.data(), 4);
    size_t p = 4;
    // Deflate cannot expand more than about 1032 times.
    out.reserve(std::min<uint64_t>(total, uint64_t(d.size()) * 1032));
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        error = "cannot start inflating";
        return false;
    }
    bool ok = true;
    while (p < d.size()) {
        if (d.size() - p < 6) {
            ok = false;
            error = "compressed block header is cut short";
            break;
        }
        const uint16_t usize = uint16_t(d[p] | d[p + 1] << 8);
        const uint16_t csize = uint16_t(d[p + 2] | d[p + 3] << 8);
        p += 4;
        if (csize < 2 || csize > d.size() - p || d[p] != 'C' || d[p + 1] != 'K') {
            ok = false;
            error = "bad compressed block";
            break;
        }
        const size_t start = out.size();
        out.resize(start + usize);
        inflateReset(&z);
        if (start > 0) {
            const size_t dict = std::min<size_t>(start, 32768);
            inflateSetDictionary(&z, out.data() + start - dict, uInt(dict));
        }
        z.next_in = const_cast<Bytef*>(d.data() + p + 2);
        z.avail_in = csize - 2;
        z.next_out = out.data() + start;
        z.avail_out = usize;
        const int rc = inflate(&z, Z_FINISH);
        if (rc != Z_STREAM_END || z.avail_out != 0) {
            ok = false;
            error = "damaged compressed data";
            break;
        }
        p += csize;
    }
    inflateEnd(&z);
    if (ok && out.size() + 16 != total && out.size() != total) {
        ok = false;
        error = "compressed data does not have its stated size";
    }
    if (!ok) out.clear();
    return ok;
}


void DiscardPages(const uint8_t* from, const uint8_t* to) { platform::ReleasePages(from, to); }

}  // namespace platform::rm::xfile

// Extraction to memory in pieces: the first two bytes of the input choose the piece size, the
// rest is the archive. Each piece goes into a buffer of exactly its size, so that a write past
// it is caught; the pieces must add up to what one whole extraction gives.
#include <stdint.h>
#include <string.h>

#include <vector>

#include "fuzz/fuzz_checks.h"
#include "zip/archive.h"

namespace {

const uint32_t kWholeLimit = 8u << 20;  // larger items are only read in pieces

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint32_t piece = 1 + (data[0] | uint32_t(data[1]) << 8);
    ArchiveHandle h = ArchiveOpenFromMemory(data + 2, uint32_t(size - 2));
    if (h == nullptr)
        return 0;
    ZipItem item;
    ArchiveGetItem(h, -1, &item);
    const int32_t count = item.index;
    for (int32_t i = 0; i < count && i < 64; ++i) {
        if (ArchiveGetItem(h, i, &item) != ArchiveOk)
            continue;
        std::vector<uint8_t> joined;
        std::vector<uint8_t> buffer(piece);  // exactly one piece: a write past it is caught
        ArchiveResult r;
        uint64_t calls = 0;
        do {
            r = ArchiveExtractToMemory(h, i, buffer.data(), piece);
            ++calls;
            if (r == ArchiveBufferFull) {
                // A full buffer beyond the declared size would mean unchecked data.
                FUZZ_CHECK(uint64_t(calls) * piece <= item.uncompressedSize);
                if (item.uncompressedSize <= kWholeLimit)
                    joined.insert(joined.end(), buffer.begin(), buffer.end());
            } else if (r == ArchiveOk && item.uncompressedSize <= kWholeLimit) {
                const uint32_t rest = item.uncompressedSize - uint32_t(joined.size());
                FUZZ_CHECK(rest <= piece);
                joined.insert(joined.end(), buffer.begin(), buffer.begin() + rest);
            }
        } while (r == ArchiveBufferFull);
        if (r != ArchiveOk)
            continue;
        // Delivered whole: a repeat call gives nothing more.
        uint8_t probe = 0;
        FUZZ_CHECK(ArchiveExtractToMemory(h, i, &probe, 1) == ArchiveOk);
        if (item.uncompressedSize > kWholeLimit)
            continue;
        FUZZ_CHECK(joined.size() == item.uncompressedSize);
        std::vector<uint8_t> whole(item.uncompressedSize + 1);
        FUZZ_CHECK(ArchiveGetItem(h, i, &item) == ArchiveOk);  // starts the item over
        FUZZ_CHECK(ArchiveExtractToMemory(h, i, whole.data(), uint32_t(whole.size())) == ArchiveOk);
        FUZZ_CHECK(joined.empty() || memcmp(whole.data(), joined.data(), joined.size()) == 0);
    }
    ArchiveClose(h);
    return 0;
}

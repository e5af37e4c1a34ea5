// bench/raw_inflate.h: the limit the zip reader is measured against: one item's data copied
// (stored) or raw-inflated (deflated) through 16 KiB buffers, with its CRC-32.
#ifndef KESTO_BENCH_RAW_INFLATE_H
#define KESTO_BENCH_RAW_INFLATE_H

#include <stdint.h>
#include <string.h>

#include <zlib.h>

const uint32_t kRawChunk = 16384;

struct RawResult {
    bool ended;  // stored data copied whole, or the deflate stream reached its end
    uint32_t crc;
    uint64_t produced;
};

// Hands each piece to deliver(const uint8_t*, uint32_t), which returns false to stop.
template <typename Deliver>
RawResult RawInflate(const uint8_t* data, uint32_t compressed, uint32_t method, Deliver deliver) {
    static uint8_t input[kRawChunk], output[kRawChunk];
    RawResult r = {true, 0, 0};
    auto piece = [&](uint32_t n) {
        r.crc = uint32_t(crc32(r.crc, output, n));
        r.produced += n;
        return deliver(static_cast<const uint8_t*>(output), n);
    };
    if (method == 0) {
        for (uint32_t done = 0; done < compressed && r.ended;) {
            const uint32_t n = compressed - done < kRawChunk ? compressed - done : kRawChunk;
            memcpy(output, data + done, n);
            r.ended = piece(n);
            done += n;
        }
        return r;
    }
    z_stream zs = {};
    inflateInit2(&zs, -MAX_WBITS);
    uint32_t done = 0;
    int z = Z_OK;
    while (z == Z_OK) {
        if (zs.avail_in == 0 && done < compressed) {
            const uint32_t n = compressed - done < kRawChunk ? compressed - done : kRawChunk;
            memcpy(input, data + done, n);
            zs.next_in = input;
            zs.avail_in = n;
            done += n;
        }
        zs.next_out = output;
        zs.avail_out = kRawChunk;
        z = inflate(&zs, Z_NO_FLUSH);
        if (!piece(kRawChunk - zs.avail_out))
            z = Z_DATA_ERROR;
    }
    inflateEnd(&zs);
    r.ended = z == Z_STREAM_END;
    return r;
}

#endif  // KESTO_BENCH_RAW_INFLATE_H

// The item stream: one open item per catalogue, read in chunks of at most 16 KiB.
#include "zip/item_stream.h"

#include <string.h>

#include <new>

#include <zlib.h>

struct ItemStream {
    uint8_t input[kItemChunkSize];
    z_stream zs;
    bool zInitialised;
    uint32_t dataPosition;
    uint32_t crc;
    uint32_t expectedCrc;
    uint32_t remainingCompressed;
    uint32_t remainingUncompressed;
    uint32_t method;
    bool ended;  // the end was reported to the caller
    bool encrypted;
    uint32_t keys[3];
    uint32_t headerLeft;
    uint8_t checkByte;
    uint8_t* pending;  // unconsumed input inside `input`
    uint32_t pendingSize;
};

namespace {

const uint32_t kEncryptionHeaderSize = 12;

// Traditional PKWARE encryption (APPNOTE 6.1).
inline uint32_t CrcByte(const z_crc_t* table, uint32_t crc, uint8_t b) {
    return table[(crc ^ b) & 0xff] ^ (crc >> 8);
}

void UpdateKeys(uint32_t keys[3], const z_crc_t* table, uint8_t b) {
    keys[0] = CrcByte(table, keys[0], b);
    keys[1] = (keys[1] + (keys[0] & 0xff)) * 134775813u + 1;
    keys[2] = CrcByte(table, keys[2], uint8_t(keys[1] >> 24));
}

void InitKeys(uint32_t keys[3], const char* password) {
    keys[0] = 0x12345678u;
    keys[1] = 0x23456789u;
    keys[2] = 0x34567890u;
    const z_crc_t* table = get_crc_table();
    for (const char* p = password; p != nullptr && *p != '\0'; ++p) {
        UpdateKeys(keys, table, uint8_t(*p));
    }
}

void Decrypt(uint32_t keys[3], uint8_t* data, uint32_t size) {
    const z_crc_t* table = get_crc_table();
    for (uint32_t i = 0; i < size; ++i) {
        const uint32_t temp = (keys[2] | 2) & 0xffff;
        const uint8_t plain = uint8_t(data[i] ^ uint8_t((temp * (temp ^ 1)) >> 8));
        data[i] = plain;
        UpdateKeys(keys, table, plain);
    }
}

// Reads the next chunk of compressed data into the input buffer.
ItemResult Refill(ZipCatalogue& catalogue, ItemStream& s) {
    const uint32_t chunk =
        s.remainingCompressed < kItemChunkSize ? s.remainingCompressed : kItemChunkSize;
    catalogue.source.Seek(s.dataPosition + catalogue.bytesBefore);
    if (!catalogue.source.ReadBlock(s.input, chunk))
        return ItemIoError;
    s.dataPosition += chunk;
    s.remainingCompressed -= chunk;
    s.pending = s.input;
    s.pendingSize = chunk;
    if (s.encrypted)
        Decrypt(s.keys, s.input, chunk);
    return ItemOk;
}

}  // namespace

ItemResult OpenItemStream(ZipCatalogue* catalogue, const char* password) {
    if (catalogue == nullptr || !catalogue->entryValid)
        return ItemBadParameter;
    if (catalogue->stream != nullptr)
        CloseItemStream(catalogue);
    LocalHeaderInfo local;
    if (CheckLocalHeader(*catalogue, &local) != ItemOk)
        return ItemBadArchive;

    ItemStream* s = new (std::nothrow) ItemStream;
    if (s == nullptr)
        return ItemOutOfMemory;
    const CentralEntry& e = catalogue->entry;
    memset(&s->zs, 0, sizeof(s->zs));
    s->zInitialised = false;
    s->dataPosition = catalogue->localHeaderOffset + 30 + local.nameAndExtraLength;
    s->crc = 0;
    s->expectedCrc = e.crc32;
    s->remainingCompressed = e.compressedSize;
    s->remainingUncompressed = e.uncompressedSize;
    s->method = e.method;
    s->ended = false;
    s->pending = s->input;
    s->pendingSize = 0;
    if (s->method == 8) {
        // On failure the first inflate reports the error.
        s->zInitialised = inflateInit2(&s->zs, -MAX_WBITS) == Z_OK;
    }
    s->encrypted = (e.flags & 0x1) != 0;
    s->headerLeft = s->encrypted ? kEncryptionHeaderSize : 0;
    s->checkByte = (e.flags & 0x8) != 0 ? uint8_t(e.dosDateTime >> 8) : uint8_t(e.crc32 >> 24);
    InitKeys(s->keys, password);
    catalogue->stream = s;
    return ItemOk;
}

int32_t ReadItemStream(ZipCatalogue* catalogue, void* out, uint32_t length, bool* end) {
    *end = false;
    if (catalogue == nullptr || catalogue->stream == nullptr)
        return ItemBadParameter;
    ItemStream& s = *catalogue->stream;
    if (s.remainingUncompressed == 0) {
        // Nothing is left: the item (possibly empty) is complete.
        s.ended = true;
        *end = true;
        return 0;
    }
    if (length == 0)
        return 0;
    // Counts are returned as int32_t: keep a single call below 2 GiB.
    const uint32_t limit = 0x7fffffffu;
    uint32_t room = length < s.remainingUncompressed ? length : s.remainingUncompressed;
    if (room > limit)
        room = limit;
    uint8_t* dest = static_cast<uint8_t*>(out);
    uint32_t delivered = 0;

    while (room > 0) {
        if (s.pendingSize == 0 && s.remainingCompressed > 0) {
            ItemResult r = Refill(*catalogue, s);
            if (r != ItemOk)
                return r;
        }
        if (s.headerLeft > 0) {
            const uint32_t drop = s.headerLeft < s.pendingSize ? s.headerLeft : s.pendingSize;
            s.headerLeft -= drop;
            s.pending += drop;
            s.pendingSize -= drop;
            if (s.headerLeft == 0 && s.pending[-1] != s.checkByte)
                return ItemBadCheckByte;
            if (s.pendingSize == 0 && s.remainingCompressed > 0)
                continue;
        }
        if (s.method == 0) {
            // Stored data that runs out before the declared size cannot progress.
            if (s.pendingSize == 0)
                return ItemIoError;
            const uint32_t n = room < s.pendingSize ? room : s.pendingSize;
            memcpy(dest + delivered, s.pending, n);
            s.crc = uint32_t(crc32(s.crc, dest + delivered, n));
            s.pending += n;
            s.pendingSize -= n;
            room -= n;
            s.remainingUncompressed -= n;
            delivered += n;
            if (s.remainingUncompressed == 0) {
                s.ended = true;
                *end = true;
            }
        } else {
            s.zs.next_in = s.pending;
            s.zs.avail_in = s.pendingSize;
            s.zs.next_out = dest + delivered;
            s.zs.avail_out = room;
            const int z = s.zInitialised ? inflate(&s.zs, Z_NO_FLUSH) : Z_STREAM_ERROR;
            const uint32_t n = room - s.zs.avail_out;
            s.pending = s.zs.next_in;
            s.pendingSize = s.zs.avail_in;
            s.crc = uint32_t(crc32(s.crc, dest + delivered, n));
            s.remainingUncompressed -= n;
            room -= n;
            delivered += n;
            if (z == Z_STREAM_END || s.remainingUncompressed == 0) {
                s.ended = true;
                *end = true;
                return int32_t(delivered);
            }
            if (z != Z_OK)
                return z < 0 ? z : Z_DATA_ERROR;  // never a positive "count"
        }
    }
    return int32_t(delivered);
}

ItemResult ItemStreamVerdict(const ZipCatalogue* catalogue) {
    if (catalogue == nullptr || catalogue->stream == nullptr)
        return ItemBadParameter;
    const ItemStream& s = *catalogue->stream;
    if (s.ended && (s.remainingUncompressed != 0 || s.crc != s.expectedCrc)) {
        return ItemCrcMismatch;
    }
    return ItemOk;
}

ItemResult CloseItemStream(ZipCatalogue* catalogue) {
    const ItemResult verdict = ItemStreamVerdict(catalogue);
    if (verdict == ItemBadParameter)
        return verdict;
    ItemStream* s = catalogue->stream;
    if (s->zInitialised)
        inflateEnd(&s->zs);
    delete s;
    catalogue->stream = nullptr;
    return verdict;
}

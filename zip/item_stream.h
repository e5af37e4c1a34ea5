// zip/item_stream.h: reading the current entry's data: stored copy or raw inflate, the
// running CRC-32 and the traditional PKWARE decryption. Internal to zip/.
#ifndef KESTO_ZIP_ITEM_STREAM_H
#define KESTO_ZIP_ITEM_STREAM_H

#include <stdint.h>

#include "zip/catalogue.h"

const uint32_t kItemChunkSize = 16384;

// Opens the current entry's data as the catalogue's one item stream, closing any other.
// ItemOk, ItemBadParameter, ItemBadArchive or ItemOutOfMemory. password may be null.
ItemResult OpenItemStream(ZipCatalogue* catalogue, const char* password);

// Delivers up to length bytes. Returns the count (0 or more) or a negative ItemResult or zlib
// code. *end is set once the item's last byte has been delivered (at once for an empty item).
int32_t ReadItemStream(ZipCatalogue* catalogue, void* out, uint32_t length, bool* end);

// ItemCrcMismatch when the item was read to its end but its bytes differ from the central
// record's CRC-32 or size; ItemOk otherwise (also for an item not read to its end).
ItemResult ItemStreamVerdict(const ZipCatalogue* catalogue);

// Frees the stream. Its verdict (above), or ItemBadParameter when none is open.
ItemResult CloseItemStream(ZipCatalogue* catalogue);

#endif  // KESTO_ZIP_ITEM_STREAM_H

// zip/catalogue.h: the catalogue layer of the zip reader: the byte source over the caller's
// buffer, the end record search, the central directory walk and the local header check.
// Internal to zip/.
#ifndef KESTO_ZIP_CATALOGUE_H
#define KESTO_ZIP_CATALOGUE_H

#include <stdint.h>

// Codes of the catalogue layer and the item stream; they never leave the reader.
typedef int32_t ItemResult;
enum : int32_t {
    ItemOk = 0,
    ItemIoError = -1,         // a read delivered less than asked
    ItemBadParameter = -102,  // no catalogue, no valid current entry, or no open item stream
    ItemBadArchive = -103,    // a signature or consistency check failed
    ItemOutOfMemory = -104,
    ItemCrcMismatch = -105,  // a fully read item differs from its CRC-32 or size
    ItemBadCheckByte = -106,
};

inline uint32_t LoadLe16(const uint8_t* p) {
    return p[0] | (uint32_t(p[1]) << 8);
}
inline uint32_t LoadLe32(const uint8_t* p) {
    return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// The caller's buffer, never written. Reads past the end deliver nothing, and a field read
// that cannot be completed reports failure rather than an undetermined value.
struct MemorySource {
    const uint8_t* data;
    uint32_t length;
    uint32_t position;

    void Seek(uint32_t offset) { position = offset; }
    uint32_t Read(void* out, uint32_t count);
    bool ReadBlock(void* out, uint32_t count) { return Read(out, count) == count; }
    // The bytes [offset, offset + count) in place, or null when they are not all there.
    const uint8_t* View(uint32_t offset, uint32_t count) const;
    bool ReadU16(uint32_t* value);
    bool ReadU32(uint32_t* value);
};

struct CentralEntry {
    uint32_t versionMadeBy;
    uint32_t versionNeeded;
    uint32_t flags;
    uint32_t method;
    uint32_t dosDateTime;  // time in the low 16 bits, date in the high 16 bits
    uint32_t crc32;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    uint32_t nameLength;
    uint32_t extraLength;
    uint32_t commentLength;
    uint32_t diskNumberStart;
    uint32_t internalAttributes;
    uint32_t externalAttributes;
};

struct ItemStream;

struct ZipCatalogue {
    MemorySource source;
    uint32_t entryCount;
    uint32_t bytesBefore;  // bytes in the buffer in front of the archive's first byte
    uint32_t entryNumber;
    uint32_t directoryPosition;  // of the current entry, as the archive counts it
    bool entryValid;
    uint32_t endRecordPosition;
    uint32_t directorySize;
    uint32_t directoryOffset;
    CentralEntry entry;
    uint32_t localHeaderOffset;
    ItemStream* stream;
};

struct LocalHeaderInfo {
    uint32_t nameAndExtraLength;
    uint32_t extraOffset;  // as the archive counts it
    uint32_t extraLength;
};

// Where the end of central directory record starts, searching the last 65,535 bytes backwards.
bool FindEndRecord(MemorySource& source, uint32_t* position);
// A new catalogue on entry 0, or null when the archive cannot be opened.
ZipCatalogue* OpenCatalogue(const MemorySource& source);
// Closes an open item stream and frees the catalogue (never the caller's buffer).
void CloseCatalogue(ZipCatalogue* catalogue);

// Reads the central record at the directory position. With a name buffer, a name that fits
// (shorter than nameSize) is copied and terminated; a longer one leaves the buffer empty, and
// the caller judges entry->nameLength. On failure *entry and *localHeaderOffset are untouched.
ItemResult ReadCentralEntry(ZipCatalogue& catalogue, CentralEntry* entry,
                            uint32_t* localHeaderOffset, char* name, uint32_t nameSize);
void GoToFirstEntry(ZipCatalogue& catalogue);
void GoToNextEntry(ZipCatalogue& catalogue);
// Makes entry index current; false when a broken central record stands in the way.
bool WalkToEntry(ZipCatalogue& catalogue, uint32_t index);
ItemResult CheckLocalHeader(ZipCatalogue& catalogue, LocalHeaderInfo* info);

#endif  // KESTO_ZIP_CATALOGUE_H

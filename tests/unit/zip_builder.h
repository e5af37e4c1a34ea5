// tests/unit/zip_builder.h: hand-built zip archives, with the offset of every record, so that
// a test can break exactly one field.
#ifndef KESTO_TESTS_ZIP_BUILDER_H
#define KESTO_TESTS_ZIP_BUILDER_H

#include <stdint.h>

#include <string>
#include <vector>

// 2021-06-15 13:45:30 in the DOS fields (time low, date high).
const uint32_t kBuilderDosTime =
    (uint32_t((2021 - 1980) << 9 | 6 << 5 | 15) << 16) | uint32_t(13 << 11 | 45 << 5 | 30 / 2);

struct ZipEntrySpec {
    std::string name;
    std::string data;          // the item's uncompressed bytes
    uint16_t method = 0;       // 0 stored, 8 deflated (raw deflate by zlib)
    uint16_t flags = 0;        // bit 0 makes the builder encrypt with the initial keys
    uint16_t madeBy = 0x0014;  // MS-DOS host
    uint32_t external = 0x20;
    uint32_t dosDateTime = kBuilderDosTime;
    std::string localExtra;
    std::string comment;        // the item's comment, in its central record only
    bool badCheckByte = false;  // encrypted: store a check byte that cannot match
    bool descriptor = false;    // flag bit 3 with zeroes in the local CRC and sizes
};

// An item of the given name, data and method with every other field at its default.
ZipEntrySpec Entry(const std::string& name, const std::string& data, uint16_t method = 0);

struct ZipLayout {
    std::string bytes;
    std::vector<uint32_t> local;    // offsets of the local headers
    std::vector<uint32_t> central;  // offsets of the central records
    uint32_t end = 0;               // offset of the end record
};

ZipLayout BuildZip(const std::vector<ZipEntrySpec>& entries, const std::string& comment = "",
                   const std::string& stub = "");
std::string RawDeflate(const std::string& data);
uint32_t Crc32(const std::string& data);
void Put16(std::string& bytes, uint32_t offset, uint16_t value);
void Put32(std::string& bytes, uint32_t offset, uint32_t value);
// n bytes of compressible but not trivial data: words with a varying counter and a stray
// byte now and then; the same for the same seed.
std::string MixedData(size_t n, unsigned seed);
// An "UT" extra block with the given flags and times (as many as the flags name).
std::string ExtendedTimestamp(uint8_t flags, const std::vector<int32_t>& times);

#endif  // KESTO_TESTS_ZIP_BUILDER_H

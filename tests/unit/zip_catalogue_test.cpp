// The zip reader's catalogue: opening, the directory walk, lookups, names, attributes, times.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/unit/embedded_files.h"
#include "tests/unit/zip_builder.h"
#include "tests/unit/zip_test_util.h"
#include "zip/archive.h"
#include "zip/item_info.h"

namespace {

const int64_t kBuilderUnixTime = 1623764730;  // kBuilderDosTime, read as UTC (TZ=UTC)

std::vector<ZipEntrySpec> FiveItems() {
    std::vector<ZipEntrySpec> items;
    for (int i = 0; i < 5; ++i) {
        ZipEntrySpec e;
        e.name = "item" + std::to_string(i) + ".txt";
        e.data = std::string(10 + i, char('a' + i));
        items.push_back(e);
    }
    return items;
}

TEST(ZipOpenTest, RealArchivesOpenWithTheirItems) {
    struct Row {
        int line;
        const char* fixture;
        std::vector<std::string> names;
    };
    const Row rows[] = {
        {__LINE__,
         "py_mixed.zip",
         {"docs/", "docs/readme.txt", "stored.bin", "empty.txt", "big.txt"}},
        {__LINE__, "infozip_unix.zip", {"dir/", "dir/a.txt", "ro.txt"}},
        {__LINE__, "long_comment.zip", {"a.txt", "b.txt"}},  // end record 6 KB from the end
        {__LINE__, "stub64.zip", {"a.txt", "b.txt"}},        // offsets shifted by the stub
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const std::string bytes = Fixture(row.fixture);
        OpenArchive archive(bytes);
        ASSERT_NE(archive.Get(), nullptr);
        ASSERT_EQ(archive.Count(), int32_t(row.names.size()));
        for (size_t i = 0; i < row.names.size(); ++i) {
            ZipItem item;
            ASSERT_EQ(ArchiveGetItem(archive.Get(), int32_t(i), &item), ArchiveOk);
            EXPECT_EQ(item.index, int32_t(i));
            EXPECT_EQ(std::string(item.name), row.names[i]);
        }
    }
}

TEST(ZipOpenTest, RefusesWhatIsNoReadableEndRecord) {
    const ZipLayout good = BuildZip(FiveItems());
    auto patched = [&](uint32_t offset, uint16_t value) {
        std::string b = good.bytes;
        Put16(b, offset, value);
        return b;
    };
    struct Row {
        int line;
        std::string bytes;
    };
    const Row rows[] = {
        {__LINE__, ""},
        {__LINE__, "PK\x05\x06"},  // 4 bytes are too few to search
        {__LINE__, "PKxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
        {__LINE__, good.bytes + std::string(70000, '\0')},  // record beyond the reach
        {__LINE__, patched(good.end + 4, 1)},               // this disk
        {__LINE__, patched(good.end + 6, 1)},               // disk with the directory
        {__LINE__, patched(good.end + 8, 4)},               // entries here != total
        {__LINE__, patched(good.end + 10, 6)},              // total != entries here
        {__LINE__, good.bytes.substr(0, good.end + 12)},    // record cut short
        {__LINE__, Fixture("comment_signature.zip")},       // nearest signature is no record
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(ArchiveOpenFromMemory(row.bytes.data(), uint32_t(row.bytes.size())), nullptr);
    }
    // A directory that would end after the end record.
    std::string past = good.bytes;
    Put32(past, good.end + 12, good.end);  // directory size
    EXPECT_EQ(ArchiveOpenFromMemory(past.data(), uint32_t(past.size())), nullptr);
    EXPECT_EQ(ArchiveOpenFromMemory(nullptr, 100), nullptr);
}

TEST(ZipOpenTest, TakesTheEndRecordNearestTheEnd) {
    // The comment holds a well-formed end record of an empty archive: it wins over the real
    // one, so the archive reads as empty.
    const ZipLayout first = BuildZip(FiveItems());
    std::string fake = BuildZip({}).bytes;  // 22 bytes
    const uint32_t fakePosition = first.end + 22;
    Put32(fake, 16, fakePosition);  // directory offset = its own position: nothing before
    const std::string bytes = BuildZip(FiveItems(), fake).bytes;
    OpenArchive archive(bytes);
    ASSERT_NE(archive.Get(), nullptr);
    EXPECT_EQ(archive.Count(), 0);
}

TEST(ZipOpenTest, EndRecordAtAndAcrossTheSearchWindowsEdges) {
    // The search reads windows of 1028 bytes backwards, 4 bytes overlapping: an end record
    // 1024 to 1029 bytes from the end lies at the first window's far edge, 2052 and 2053 at
    // the second's.
    for (uint32_t distance : {1024u, 1025u, 1026u, 1027u, 1028u, 1029u, 2052u, 2053u}) {
        SCOPED_TRACE(distance);
        const std::string bytes = BuildZip(FiveItems(), std::string(distance - 22, 'c')).bytes;
        OpenArchive archive(bytes);
        ASSERT_NE(archive.Get(), nullptr);
        EXPECT_EQ(archive.Count(), 5);
    }
}

TEST(ZipLookupTest, ItemCommentsAreSteppedOver) {
    std::vector<ZipEntrySpec> entries = FiveItems();
    entries[0].comment = "first item's comment";
    entries[2].comment = std::string(3000, 'k');
    const std::string bytes = BuildZip(entries).bytes;
    OpenArchive archive(bytes);
    ASSERT_EQ(archive.Count(), 5);
    ZipItem item;
    for (int32_t i : {0, 1, 2, 3, 4, 3, 0, 4}) {
        SCOPED_TRACE(i);
        ASSERT_EQ(ArchiveGetItem(archive.Get(), i, &item), ArchiveOk);
        EXPECT_EQ(item.name, entries[size_t(i)].name);
        EXPECT_EQ(item.uncompressedSize, entries[size_t(i)].data.size());
    }
}

TEST(ZipOpenTest, EmptyArchiveHasNoItems) {
    const std::string bytes = BuildZip({}).bytes;
    OpenArchive archive(bytes);
    ASSERT_NE(archive.Get(), nullptr);
    ZipItem item;
    item.index = 77;
    EXPECT_EQ(ArchiveGetItem(archive.Get(), -1, &item), ArchiveOk);
    EXPECT_EQ(item.index, 0);
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 0, &item), ArchiveBadArgument);
}

TEST(ZipLookupTest, CountRequestFillsAnEmptyRecord) {
    const std::string bytes = BuildZip(FiveItems()).bytes;
    OpenArchive archive(bytes);
    ZipItem item;
    memset(&item, 0x55, sizeof(item));
    ASSERT_EQ(ArchiveGetItem(archive.Get(), -1, &item), ArchiveOk);
    EXPECT_EQ(item.index, 5);
    EXPECT_EQ(item.name[0], '\0');
    EXPECT_EQ(item.attributes, 0u);
    EXPECT_EQ(Ticks(item.writeTime), 0u);
    EXPECT_EQ(item.compressedSize, 0u);
    EXPECT_EQ(item.uncompressedSize, 0u);
}

TEST(ZipLookupTest, RefusesBadArguments) {
    const std::string bytes = BuildZip(FiveItems()).bytes;
    OpenArchive archive(bytes);
    for (int32_t index : {-2, 5, 1000, INT32_MIN}) {
        SCOPED_TRACE(index);
        ZipItem item;
        memset(&item, 0x55, sizeof(item));
        EXPECT_EQ(ArchiveGetItem(archive.Get(), index, &item), ArchiveBadArgument);
        // Cleared first; the rest of the record is left as it was.
        EXPECT_EQ(item.index, 0);
        EXPECT_EQ(item.name[0], '\0');
        EXPECT_EQ(item.uncompressedSize, 0u);
        EXPECT_EQ(item.compressedSize, 0x55555555u);
    }
    ZipItem item;
    EXPECT_EQ(ArchiveGetItem(nullptr, 0, &item), ArchiveBadArgument);
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 0, nullptr), ArchiveBadArgument);
    int32_t notAReader[4] = {2, 0, 0, 0};
    EXPECT_EQ(ArchiveGetItem(reinterpret_cast<ArchiveHandle>(notAReader), 0, &item),
              ArchiveWrongHandle);
}

TEST(ZipLookupTest, CacheServesTheLastItemOnly) {
    // The buffer is patched behind the reader's back: a lookup that reads the archive sees
    // the damage, one served from the cache does not.
    ZipLayout layout = BuildZip(FiveItems());
    OpenArchive archive(layout.bytes);
    ZipItem item;
    ASSERT_EQ(ArchiveGetItem(archive.Get(), 3, &item), ArchiveOk);
    Put32(layout.bytes, layout.local[3], 0xdeadbeef);
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 3, &item), ArchiveOk);  // cached
    EXPECT_STREQ(item.name, "item3.txt");
    EXPECT_EQ(ArchiveGetItem(archive.Get(), -1, &item), ArchiveOk);  // leaves the cache alone
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 3, &item), ArchiveOk);
    // 3, 1, 3: item 1 rewinds the walk and replaces the cache; item 3 is read again.
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 1, &item), ArchiveOk);
    EXPECT_STREQ(item.name, "item1.txt");
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 3, &item), ArchiveBadLocalHeader);
    // A failed lookup keeps the cache as it was.
    Put32(layout.bytes, layout.local[1], 0xdeadbeef);
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 1, &item), ArchiveOk);
}

TEST(ZipLookupTest, LocalHeaderAndRecordFaults) {
    struct Row {
        int line;
        const char* what;
        void (*spoil)(ZipLayout& layout);
        uint32_t item;
        ArchiveResult expected;
    };
    const Row rows[] = {
        {__LINE__, "local signature", [](ZipLayout& z) { Put32(z.bytes, z.local[1], 1); }, 1,
         ArchiveBadLocalHeader},
        {__LINE__, "local method 8, central 0",
         [](ZipLayout& z) { Put16(z.bytes, z.local[1] + 8, 8); }, 1, ArchiveBadLocalHeader},
        {__LINE__, "method 12 in both",
         [](ZipLayout& z) {
             Put16(z.bytes, z.local[1] + 8, 12);
             Put16(z.bytes, z.central[1] + 10, 12);
         },
         1, ArchiveBadLocalHeader},
        {__LINE__, "local CRC differs", [](ZipLayout& z) { Put32(z.bytes, z.local[1] + 14, 7); }, 1,
         ArchiveBadLocalHeader},
        {__LINE__, "local compressed size differs",
         [](ZipLayout& z) { Put32(z.bytes, z.local[1] + 18, 99); }, 1, ArchiveBadLocalHeader},
        {__LINE__, "local uncompressed size differs",
         [](ZipLayout& z) { Put32(z.bytes, z.local[1] + 22, 99); }, 1, ArchiveBadLocalHeader},
        {__LINE__, "local sizes differ, but flag bit 3",
         [](ZipLayout& z) {
             Put16(z.bytes, z.local[1] + 6, 8);
             Put32(z.bytes, z.local[1] + 14, 0);
             Put32(z.bytes, z.local[1] + 18, 0);
             Put32(z.bytes, z.local[1] + 22, 0);
         },
         1, ArchiveOk},
        {__LINE__, "local name length differs",
         [](ZipLayout& z) { Put16(z.bytes, z.local[1] + 26, 3); }, 1, ArchiveBadLocalHeader},
        {__LINE__, "local header beyond the buffer",
         [](ZipLayout& z) { Put32(z.bytes, z.central[1] + 42, 0xffffff00u); }, 1,
         ArchiveBadLocalHeader},
        {__LINE__, "local extra runs past the buffer",
         [](ZipLayout& z) { Put16(z.bytes, z.local[4] + 28, 0xffff); }, 4, ArchiveReadFailed},
        {__LINE__, "central signature of the item",
         [](ZipLayout& z) { Put32(z.bytes, z.central[1], 0); }, 1, ArchiveBadLocalHeader},
        {__LINE__, "broken record before the item: the walk ends",
         [](ZipLayout& z) { Put32(z.bytes, z.central[1], 0); }, 3, ArchiveBadLocalHeader},
        {__LINE__, "broken record after the item",
         [](ZipLayout& z) { Put32(z.bytes, z.central[2], 0); }, 1, ArchiveOk},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.line) + ": " + row.what);
        ZipLayout layout = BuildZip(FiveItems());
        row.spoil(layout);
        OpenArchive archive(layout.bytes);
        ASSERT_NE(archive.Get(), nullptr);
        ZipItem item;
        EXPECT_EQ(ArchiveGetItem(archive.Get(), int32_t(row.item), &item), row.expected);
        EXPECT_EQ(ArchiveGetItem(archive.Get(), 0, &item), ArchiveOk);  // the rest still reads
    }
}

TEST(ZipLookupTest, BrokenFirstRecordStillOpens) {
    ZipLayout layout = BuildZip(FiveItems());
    Put32(layout.bytes, layout.central[0], 0);
    OpenArchive archive(layout.bytes);
    ASSERT_NE(archive.Get(), nullptr);
    EXPECT_EQ(archive.Count(), 5);
    ZipItem item;
    for (int32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(ArchiveGetItem(archive.Get(), i, &item), ArchiveBadLocalHeader);
    }
}

TEST(ZipLookupTest, NamesThatAreNotStoredWholeAreRefused) {
    struct Row {
        int line;
        std::string name;
        ArchiveResult expected;
    };
    const Row rows[] = {
        {__LINE__, std::string(259, 'n'), ArchiveOk},  // the longest that fits
        {__LINE__, std::string(260, 'n'), ArchiveReadFailed},
        {__LINE__, std::string(1000, 'n'), ArchiveReadFailed},
        {__LINE__, std::string("a\0b.txt", 7), ArchiveReadFailed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ZipEntrySpec e;
        e.name = row.name;
        e.data = "x";
        const std::string bytes = BuildZip({e}).bytes;
        OpenArchive archive(bytes);
        ZipItem item;
        EXPECT_EQ(ArchiveGetItem(archive.Get(), 0, &item), row.expected);
        if (row.expected == ArchiveOk) {
            EXPECT_EQ(std::string(item.name), row.name);
        } else {
            EXPECT_EQ(item.name[0], '\0');
        }
    }
}

TEST(ZipNameTest, SanitisedNamesStayRelative) {
    struct Row {
        int line;
        const char* stored;
        const char* expected;
    };
    const Row rows[] = {
        {__LINE__, "C:\\dir\\file.txt", "dir\\file.txt"},
        {__LINE__, "//host/share/f", "host/share/f"},
        {__LINE__, "a/b/../c.txt", "c.txt"},
        {__LINE__, "/abs/x", "abs/x"},
        {__LINE__, "C:x", "x"},
        {__LINE__, "a\\..\\b", "b"},
        {__LINE__, "x/y/", "x/y/"},
        {__LINE__, "a\\../b", "b"},
        {__LINE__, "a/..\\b", "b"},
        {__LINE__, "1:2:3", "3"},  // any character before ":" makes a drive
        {__LINE__, "\\\\?\\C:\\x", "?\\C:\\x"},
        // Parent parts at the start or the end lead nowhere above the base folder.
        {__LINE__, "../x", "x"},
        {__LINE__, "..\\..\\x", "x"},
        {__LINE__, "/../../etc/passwd", "etc/passwd"},
        {__LINE__, "C:..\\x", "x"},
        {__LINE__, "a/..", ""},
        {__LINE__, "a\\b\\..", ""},
        {__LINE__, "..", ""},
        {__LINE__, "..x/y..", "..x/y.."},  // dots within a name are no parent part
        {__LINE__, "...", "..."},
        {__LINE__, "plain.txt", "plain.txt"},
        {__LINE__, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        char out[260];
        SanitizeItemName(row.stored, out);
        EXPECT_STREQ(out, row.expected);
    }
}

TEST(ZipAttributesTest, FromHostAndExternalAttributes) {
    struct Row {
        int line;
        uint32_t madeBy;
        uint32_t external;
        uint32_t expected;
    };
    const Row rows[] = {
        {__LINE__, 0x0014, 0x20, 0x20},            // MS-DOS: the low bits as they are
        {__LINE__, 0x0014, 0xff, 0x37},            // only read-only, hidden, system, dir, archive
        {__LINE__, 0x0b14, 0x27, 0x27},            // NTFS
        {__LINE__, 0x0714, 0x01, 0x01},            // Macintosh
        {__LINE__, 0x0e14, 0x12, 0x12},            // VFAT
        {__LINE__, 0x031e, 040755u << 16, 0x30},   // Unix folder
        {__LINE__, 0x031e, 0100444u << 16, 0x21},  // Unix read-only file
        {__LINE__, 0x031e, 0100644u << 16 | 0x37, 0x20},  // Unix: low bits ignored
        {__LINE__, 0x0a14, 0, 0x21},                      // other hosts read like Unix
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(ItemAttributes(row.madeBy, row.external), row.expected);
    }
}

TEST(ZipAttributesTest, RealArchives) {
    struct Row {
        int line;
        const char* fixture;
        int32_t index;
        uint32_t expected;
    };
    const Row rows[] = {
        {__LINE__, "py_mixed.zip", 0, 0x10},     {__LINE__, "py_mixed.zip", 1, 0x20},
        {__LINE__, "infozip_unix.zip", 0, 0x30}, {__LINE__, "infozip_unix.zip", 1, 0x20},
        {__LINE__, "infozip_unix.zip", 2, 0x21},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const std::string bytes = Fixture(row.fixture);
        OpenArchive archive(bytes);
        ZipItem item;
        ASSERT_EQ(ArchiveGetItem(archive.Get(), row.index, &item), ArchiveOk);
        EXPECT_EQ(item.attributes, row.expected);
    }
}

TEST(ZipTimesTest, FromDosFieldsAndExtendedTimestamps) {
    const int32_t w = 1500000000, a = 1500000100, c = 1400000000;
    const uint64_t dos = TicksFromUnix(kBuilderUnixTime);
    std::string skip300 = "zz";
    skip300 += char(0x2c);  // 300 = 0x012c
    skip300 += char(0x01);
    skip300 += std::string(300, 'U');  // "UT" look-alikes inside the skipped block
    std::string cutTimes = ExtendedTimestamp(7, {w, a, c});
    cutTimes[2] = 5;  // the block holds the flags and one time only
    struct Row {
        int line;
        std::string extra;
        uint32_t dosDateTime;
        uint64_t write, access, create;
    };
    const Row rows[] = {
        {__LINE__, "", kBuilderDosTime, dos, dos, dos},
        {__LINE__, ExtendedTimestamp(1, {w}), kBuilderDosTime, TicksFromUnix(w), dos, dos},
        {__LINE__, ExtendedTimestamp(7, {w, a, c}), kBuilderDosTime, TicksFromUnix(w),
         TicksFromUnix(a), TicksFromUnix(c)},
        {__LINE__, ExtendedTimestamp(6, {a, c}), kBuilderDosTime, dos, TicksFromUnix(a),
         TicksFromUnix(c)},
        {__LINE__, skip300 + ExtendedTimestamp(3, {w, a}), kBuilderDosTime, TicksFromUnix(w),
         TicksFromUnix(a), dos},
        {__LINE__, cutTimes + "pad-pad-pad", kBuilderDosTime, TicksFromUnix(w), dos, dos},
        {__LINE__, ExtendedTimestamp(7, {w}), kBuilderDosTime, TicksFromUnix(w), dos, dos},
        {__LINE__, ExtendedTimestamp(1, {-1}), kBuilderDosTime, TicksFromUnix(-1), dos, dos},
        // A zero DOS date (month 0, day 0) and a 25th hour count as 1980-01-01 00:00.
        {__LINE__, "", 0, TicksFromUnix(315532800), TicksFromUnix(315532800),
         TicksFromUnix(315532800)},
        {__LINE__, "", (kBuilderDosTime & 0xffff0000u) | (25u << 11), TicksFromUnix(315532800),
         TicksFromUnix(315532800), TicksFromUnix(315532800)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ZipEntrySpec e;
        e.name = "t.txt";
        e.data = "time";
        e.localExtra = row.extra;
        e.dosDateTime = row.dosDateTime;
        const std::string bytes = BuildZip({e}).bytes;
        OpenArchive archive(bytes);
        ZipItem item;
        ASSERT_EQ(ArchiveGetItem(archive.Get(), 0, &item), ArchiveOk);
        EXPECT_EQ(Ticks(item.writeTime), row.write);
        EXPECT_EQ(Ticks(item.accessTime), row.access);
        EXPECT_EQ(Ticks(item.createTime), row.create);
    }
}

TEST(ZipTimesTest, InfoZipTimestamps) {
    const std::string bytes = Fixture("infozip_unix.zip");
    OpenArchive archive(bytes);
    ZipItem item;
    ASSERT_EQ(ArchiveGetItem(archive.Get(), 2, &item), ArchiveOk);
    EXPECT_EQ(Ticks(item.writeTime), TicksFromUnix(1700000000));
    EXPECT_EQ(Ticks(item.accessTime), TicksFromUnix(1700000100));
    EXPECT_EQ(Ticks(item.createTime), TicksFromUnix(1700000000));  // from the DOS fields
}

TEST(ZipTimesTest, DosFieldsValidation) {
    struct Row {
        int line;
        unsigned year, month, day, hour, minute, second;
        bool valid;
    };
    const Row rows[] = {
        {__LINE__, 1980, 1, 1, 0, 0, 0, true},   {__LINE__, 2107, 12, 31, 23, 59, 58, true},
        {__LINE__, 2024, 2, 29, 12, 0, 0, true}, {__LINE__, 2023, 2, 29, 12, 0, 0, false},
        {__LINE__, 2000, 13, 1, 0, 0, 0, false}, {__LINE__, 2000, 4, 31, 0, 0, 0, false},
        {__LINE__, 2000, 1, 1, 24, 0, 0, false}, {__LINE__, 2000, 1, 1, 0, 60, 0, false},
        {__LINE__, 2000, 1, 1, 0, 0, 60, false}, {__LINE__, 2000, 1, 0, 0, 0, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const uint32_t date = (row.year - 1980) << 9 | row.month << 5 | row.day;
        const uint32_t time = row.hour << 11 | row.minute << 5 | row.second / 2;
        uint64_t local = 0;
        EXPECT_EQ(DosDateTimeToLocal(date << 16 | time, &local), row.valid);
    }
    uint64_t local = 0;
    ASSERT_TRUE(DosDateTimeToLocal(kBuilderDosTime, &local));
    EXPECT_EQ(local, TicksFromUnix(kBuilderUnixTime));
}

}  // namespace

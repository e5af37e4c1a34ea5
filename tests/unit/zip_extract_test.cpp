// The zip reader's extraction: the item stream, to memory, to files, folders and the base
// folder, closing, and names that must stay inside the base folder.
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/unit/embedded_files.h"
#include "tests/unit/test_folder.h"
#include "tests/unit/zip_builder.h"
#include "tests/unit/zip_test_util.h"
#include "zip/archive.h"
#include "zip/file_port.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

ZipEntrySpec Folder(const std::string& name) {
    ZipEntrySpec e = Entry(name, "");
    e.external = 0x10;
    return e;
}

// Records what the reader asks of the file system, and can fail writes.
class RecordingPort final : public FilePort {
public:
    std::vector<std::string> events;
    bool failWrites = false;
    // Local time at a fixed offset from UTC, in hours east (users of the program live at +8),
    // instead of the platform's zone.
    int fixedZoneHours = 0;
    bool useFixedZone = false;
    uint64_t create = 0, access = 0, write = 0;  // the times last set

    File CreateOutputFile(const char* path, uint32_t attributes) override {
        File f = DefaultFilePort().CreateOutputFile(path, attributes);
        events.push_back(std::string(f ? "create " : "create failed ") + path);
        return f;
    }
    bool WriteOutputFile(File file, const void* data, uint32_t size) override {
        events.push_back("write " + std::to_string(size));
        return !failWrites && DefaultFilePort().WriteOutputFile(file, data, size);
    }
    bool SetOutputFileTimes(File file, const FILETIME& c, const FILETIME& a,
                            const FILETIME& w) override {
        events.push_back("times");
        create = Ticks(c);
        access = Ticks(a);
        write = Ticks(w);
        return DefaultFilePort().SetOutputFileTimes(file, c, a, w);
    }
    void CloseOutputFile(File file) override {
        events.push_back("close");
        DefaultFilePort().CloseOutputFile(file);
    }
    bool RemoveFile(const char* path) override {
        events.push_back(std::string("remove ") + path);
        return DefaultFilePort().RemoveFile(path);
    }
    bool PathExists(const char* path) override { return DefaultFilePort().PathExists(path); }
    void CreateFolder(const char* path) override {
        events.push_back(std::string("mkdir ") + path);
        DefaultFilePort().CreateFolder(path);
    }
    bool GetCurrentFolder(char* buffer, uint32_t size) override {
        return DefaultFilePort().GetCurrentFolder(buffer, size);
    }
    bool Utf8ToFileName(const char* utf8, char* out, uint32_t size) override {
        return DefaultFilePort().Utf8ToFileName(utf8, out, size);
    }
    uint64_t LocalToUtc(uint64_t local) override {
        if (useFixedZone)
            return local - uint64_t(int64_t(fixedZoneHours) * 3600 * 10000000);
        return DefaultFilePort().LocalToUtc(local);
    }
};

class ZipExtractTest : public ::testing::Test {
protected:
    void SetUp() override { SetFilePort(&port_); }
    void TearDown() override { SetFilePort(nullptr); }

    // The reader's form of a path below the test folder: the base folder with the separator
    // the reader appends, then the name as given.
    std::string Under(const std::string& name) const { return folder_.Path() + "\\" + name; }

    RecordingPort port_;
    TestFolder folder_;
};

// Extracts item index to memory in pieces of `piece` bytes until the item ends.
ArchiveResult ExtractInPieces(ArchiveHandle h, int32_t index, uint32_t size, uint32_t piece,
                              std::string* out) {
    out->assign(size, '\0');
    uint32_t done = 0;
    for (;;) {
        const uint32_t n = size - done < piece ? size - done : piece;
        const ArchiveResult r = ArchiveExtractToMemory(h, index, &(*out)[0] + done, n);
        if (r != ArchiveBufferFull)
            return r;
        done += n;
        if (done > size)
            return ArchiveBufferFull;  // never expected
    }
}

TEST_F(ZipExtractTest, StoredItemIsWrittenInChunksThenTimed) {
    const std::string data = MixedData(40000, 1);
    const std::string bytes = BuildZip({Entry("s.bin", data)}).bytes;
    OpenArchive archive(bytes);
    ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), folder_.Path().c_str()), ArchiveOk);
    ASSERT_EQ(ArchiveExtractToFile(archive.Get(), 0, "s.bin"), ArchiveOk);
    const std::vector<std::string> expected = {
        "create " + Under("s.bin"), "write 16384", "write 16384", "write 7232", "times", "close"};
    EXPECT_EQ(port_.events, expected);
    EXPECT_EQ(ReadWholeFile(folder_.Join("s.bin")), data);
    EXPECT_EQ(LastWriteUnixTime(folder_.Join("s.bin")), 1623764730);
}

TEST_F(ZipExtractTest, ItemsToMemoryInAnyPieces) {
    const std::string big = MixedData(100000, 2);
    ZipEntrySpec encrypted = Entry("e.txt", big, 8);
    encrypted.flags = 1;
    ZipEntrySpec encryptedStored = Entry("es.txt", MixedData(5000, 3));
    encryptedStored.flags = 1;
    ZipEntrySpec descriptor = Entry("d.txt", MixedData(20000, 4), 8);
    descriptor.flags = 1;
    descriptor.descriptor = true;  // check byte from the DOS time
    const std::vector<ZipEntrySpec> entries = {Entry("s.txt", MixedData(33333, 5)),
                                               Entry("z.txt", big, 8), encrypted, encryptedStored,
                                               descriptor};
    const std::string bytes = BuildZip(entries).bytes;
    OpenArchive archive(bytes);
    for (uint32_t piece : {1u, 7u, 4093u, 16384u, 16385u, 1000000u}) {
        for (size_t i = 0; i < entries.size(); ++i) {
            SCOPED_TRACE("piece " + std::to_string(piece) + ", item " + entries[i].name);
            std::string out;
            EXPECT_EQ(ExtractInPieces(archive.Get(), int32_t(i), uint32_t(entries[i].data.size()),
                                      piece, &out),
                      ArchiveOk);
            EXPECT_TRUE(out == entries[i].data);
        }
    }
}

TEST_F(ZipExtractTest, DeflatedItemInOneCallOrTwoHalves) {
    const std::string data = MixedData(50000, 6);
    const std::string bytes = BuildZip({Entry("a.txt", "other"), Entry("z.txt", data, 8)}).bytes;
    OpenArchive archive(bytes);
    std::string out(data.size(), '\0');
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 1, &out[0], uint32_t(out.size())), ArchiveOk);
    EXPECT_TRUE(out == data);

    // The finished item stays current; a lookup ends it so the next call starts afresh.
    ZipItem item;
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 0, &item), ArchiveOk);
    const uint32_t half = uint32_t(data.size() / 2);
    std::string halves(data.size(), '\0');
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 1, &halves[0], half), ArchiveBufferFull);
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 1, &halves[half], uint32_t(data.size()) - half),
              ArchiveOk);
    EXPECT_TRUE(halves == data);

    // A lookup in between makes the next call start the item over.
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 0, &item), ArchiveOk);
    std::string restarted(data.size(), '\0');
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 1, &restarted[0], half), ArchiveBufferFull);
    EXPECT_EQ(ArchiveGetItem(archive.Get(), 0, &item), ArchiveOk);
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 1, &restarted[0], half), ArchiveBufferFull);
    EXPECT_TRUE(restarted.compare(0, half, data, 0, half) == 0);
    // So does an extraction to a file, and one to memory of another item.
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 0, &restarted[0], 5), ArchiveOk);
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 1, &restarted[0], half), ArchiveBufferFull);
    EXPECT_TRUE(restarted.compare(0, half, data, 0, half) == 0);
}

TEST_F(ZipExtractTest, RepeatAfterTheEndDeliversNothingMore) {
    const std::string bytes = BuildZip({Entry("a.txt", "abc", 8)}).bytes;
    OpenArchive archive(bytes);
    char out[8] = {};
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 0, out, 3), ArchiveOk);
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 0, out + 3, 3), ArchiveOk);
    EXPECT_STREQ(out, "abc");
}

TEST_F(ZipExtractTest, RealArchivesExtract) {
    struct Row {
        int line;
        const char* fixture;
    };
    const Row rows[] = {
        {__LINE__, "py_mixed.zip"}, {__LINE__, "infozip_unix.zip"}, {__LINE__, "stub64.zip"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const std::string bytes = Fixture(row.fixture);
        OpenArchive archive(bytes);
        ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), folder_.Path().c_str()), ArchiveOk);
        for (int32_t i = 0; i < archive.Count(); ++i) {
            ZipItem item;
            ASSERT_EQ(ArchiveGetItem(archive.Get(), i, &item), ArchiveOk);
            SCOPED_TRACE(item.name);
            std::string out(item.uncompressedSize, '\0');
            EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), i, &out[0], item.uncompressedSize),
                      ArchiveOk);
            EXPECT_EQ(ArchiveExtractToFile(archive.Get(), i, item.name), ArchiveOk);
            if ((item.attributes & 0x10) == 0) {
                EXPECT_TRUE(ReadWholeFile(folder_.Join(item.name)) == out);
            }
        }
    }
    std::string stored;
    for (int k = 0; k < 4; ++k) {
        for (int b = 0; b < 256; ++b)
            stored += char(b);
    }
    EXPECT_TRUE(ReadWholeFile(folder_.Join("stored.bin")) == stored);
    EXPECT_TRUE(IsReadOnly(folder_.Join("ro.txt")));
}

TEST_F(ZipExtractTest, FolderItemsCreateEachLevel) {
    const std::string bytes = BuildZip({Folder("a/b/"), Entry("d/", "")}).bytes;
    OpenArchive archive(bytes);
    const std::string base = folder_.Join("base");
    ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), base.c_str()), ArchiveOk);
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, "a/b/"), ArchiveOk);
    const std::string b = base + "\\";
    const std::vector<std::string> expected = {"mkdir " + b, "mkdir " + b + "a",
                                               "mkdir " + b + "a/b"};
    EXPECT_EQ(port_.events, expected);
    EXPECT_TRUE(FolderExists(folder_.Join("base/a/b")));

    // Without the folder bit, "d/" is a file: its folder is made, the file cannot be.
    port_.events.clear();
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 1, "d/"), ArchiveCannotOpen);
    EXPECT_TRUE(FolderExists(folder_.Join("base/d")));
    EXPECT_EQ(port_.events.back(), "create failed " + b + "d/");
}

TEST_F(ZipExtractTest, PathsUnderTheBaseFolderOrAbsolute) {
    const std::string bytes = BuildZip({Entry("f.txt", "content")}).bytes;
    OpenArchive archive(bytes);
    ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), folder_.Join("out").c_str()), ArchiveOk);
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, "x\\y\\z.txt"), ArchiveOk);
    EXPECT_EQ(ReadWholeFile(folder_.Join("out/x/y/z.txt")), "content");

    // An absolute path ignores the base folder.
    const std::string absolute = folder_.Join("abs/f.txt");
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, absolute.c_str()), ArchiveOk);
    EXPECT_EQ(ReadWholeFile(absolute), "content");
    EXPECT_FALSE(FolderExists(folder_.Join("out") + absolute));
}

TEST_F(ZipExtractTest, TargetFolderGetsOneSeparator) {
    const std::string bytes = BuildZip({Entry("f.txt", "x")}).bytes;
    OpenArchive archive(bytes);
    struct Row {
        int line;
        std::string folder;
        std::string created;
    };
    const std::string t = folder_.Path();
    const Row rows[] = {
        {__LINE__, t, t + "\\f.txt"},
        {__LINE__, t + "/", t + "/f.txt"},
        {__LINE__, t + "\\", t + "\\f.txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        port_.events.clear();
        ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), row.folder.c_str()), ArchiveOk);
        ASSERT_EQ(ArchiveExtractToFile(archive.Get(), 0, "f.txt"), ArchiveOk);
        EXPECT_EQ(port_.events.front(), "create " + row.created);
    }
}

TEST_F(ZipExtractTest, EmptyTargetFolderMeansTheCurrentDirectory) {
    const std::string bytes = BuildZip({Entry("cwd.txt", "here")}).bytes;
    OpenArchive archive(bytes);
    char previous[4096];
#ifdef _WIN32
    GetCurrentDirectoryA(sizeof(previous), previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.Path().c_str()));
#else
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(folder_.Path().c_str()), 0);
#endif
    EXPECT_EQ(ArchiveSetTargetDir(archive.Get(), ""), ArchiveOk);
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, "cwd.txt"), ArchiveOk);
#ifdef _WIN32
    SetCurrentDirectoryA(previous);
#else
    ASSERT_EQ(chdir(previous), 0);
#endif
    EXPECT_EQ(port_.events.front(), "create cwd.txt");
    EXPECT_EQ(ReadWholeFile(folder_.Join("cwd.txt")), "here");
}

TEST_F(ZipExtractTest, ReadOnlyItemIsNotReplaced) {
    ZipEntrySpec ro = Entry("ro.txt", "locked");
    ro.external = 0x21;
    const std::string bytes = BuildZip({ro}).bytes;
    OpenArchive archive(bytes);
    ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), folder_.Path().c_str()), ArchiveOk);
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, "ro.txt"), ArchiveOk);
    EXPECT_TRUE(IsReadOnly(folder_.Join("ro.txt")));
    EXPECT_EQ(ReadWholeFile(folder_.Join("ro.txt")), "locked");
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, "ro.txt"), ArchiveCannotOpen);
}

TEST_F(ZipExtractTest, DataFaults) {
    std::string badDeflate = "\x07\x01\x02\x03";  // final block of the reserved type 3
    ZipLayout invalid = BuildZip({Entry("bad.txt", "xxxxxxxxxxxxxxxxxxxx", 8)});
    // Overwrite the deflate data in place; the sizes stay as they were.
    invalid.bytes.replace(invalid.local[0] + 30 + 7, badDeflate.size(), badDeflate);

    ZipLayout crc = BuildZip({Entry("crc.txt", MixedData(40000, 7), 8)});
    Put32(crc.bytes, crc.local[0] + 14, 0x12345678);
    Put32(crc.bytes, crc.central[0] + 16, 0x12345678);

    // Declared larger than the data: stored runs out, deflated ends early.
    ZipLayout shortStored = BuildZip({Entry("s.txt", "0123456789")});
    Put32(shortStored.bytes, shortStored.local[0] + 22, 11);
    Put32(shortStored.bytes, shortStored.central[0] + 24, 11);
    ZipLayout shortDeflated = BuildZip({Entry("d.txt", "0123456789", 8)});
    Put32(shortDeflated.bytes, shortDeflated.local[0] + 22, 11);
    Put32(shortDeflated.bytes, shortDeflated.central[0] + 24, 11);

    ZipEntrySpec wrongKey = Entry("k.txt", "secret", 8);
    wrongKey.flags = 1;
    wrongKey.badCheckByte = true;
    const ZipLayout decrypt = BuildZip({wrongKey});

    struct Row {
        int line;
        std::string bytes;
        uint32_t size;  // memory buffer
        ArchiveResult memory, file;
    };
    const Row rows[] = {
        {__LINE__, invalid.bytes, 20, ArchiveInflateFailed, ArchiveInflateFailed},
        {__LINE__, crc.bytes, 40000, ArchiveInflateFailed, ArchiveInflateFailed},
        {__LINE__, shortStored.bytes, 11, ArchiveInflateFailed, ArchiveInflateFailed},
        {__LINE__, shortDeflated.bytes, 11, ArchiveInflateFailed, ArchiveInflateFailed},
        {__LINE__, decrypt.bytes, 6, ArchiveDecryptFailed, ArchiveDecryptFailed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        OpenArchive archive(row.bytes);
        ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), folder_.Path().c_str()), ArchiveOk);
        std::string out(row.size, '\0');
        EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 0, &out[0], row.size), row.memory);
        ZipItem item;
        ASSERT_EQ(ArchiveGetItem(archive.Get(), 0, &item), ArchiveOk);
        port_.events.clear();
        EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, item.name), row.file);
        // The file was made before the data was read, and stays, without its times.
        EXPECT_TRUE(FileExists(folder_.Join(item.name)));
        for (const std::string& e : port_.events)
            EXPECT_NE(e, "times");
    }
}

TEST_F(ZipExtractTest, EmptyItemIsAnEmptyFileWithItsTimes) {
    const std::string bytes = BuildZip({Entry("empty.txt", ""), Entry("e8.txt", "", 8)}).bytes;
    OpenArchive archive(bytes);
    ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), folder_.Path().c_str()), ArchiveOk);
    for (int32_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        char byte = 'x';
        EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), i, &byte, 1), ArchiveOk);
        EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), i, nullptr, 0), ArchiveOk);
        ZipItem item;
        ASSERT_EQ(ArchiveGetItem(archive.Get(), i, &item), ArchiveOk);
        EXPECT_EQ(ArchiveExtractToFile(archive.Get(), i, item.name), ArchiveOk);
        EXPECT_EQ(ReadWholeFile(folder_.Join(item.name)), "");
        EXPECT_EQ(LastWriteUnixTime(folder_.Join(item.name)), 1623764730);
    }
}

// A DOS time is local: at UTC+8 its UTC is eight hours earlier. A "UT" time is UTC already and
// must not move. Each time lands in its own place: creation, access, write.
TEST_F(ZipExtractTest, DosTimesAreLocalAndExtendedTimesUtcEachInItsPlace) {
    const int64_t dosAsUtc = 1623764730;  // the builder's DOS time read as if UTC
    const int32_t w = 1500000000, a = 1500000100, c = 1400000000;
    const int64_t eight = 8 * 3600;
    const struct {
        int line;
        std::string extra;
        int64_t write, access, create;  // Unix seconds
    } rows[] = {
        {__LINE__, "", dosAsUtc - eight, dosAsUtc - eight, dosAsUtc - eight},
        {__LINE__, ExtendedTimestamp(3, {w, a}), w, a, dosAsUtc - eight},
        {__LINE__, ExtendedTimestamp(7, {w, a, c}), w, a, c},
        {__LINE__, ExtendedTimestamp(4, {c}), dosAsUtc - eight, dosAsUtc - eight, c},
    };
    // The reader's own conversion through the port, on every platform; natively also the
    // POSIX port's, in the real zone.
    std::vector<const char*> zones = {"fixed +8"};
#ifndef _WIN32
    zones.push_back("Asia/Shanghai");
#endif
    for (const char* zone : zones) {
        SCOPED_TRACE(zone);
        const bool fixed = std::string(zone) == "fixed +8";
        port_.useFixedZone = fixed;
        port_.fixedZoneHours = 8;
#ifndef _WIN32
        if (!fixed) {
            setenv("TZ", zone, 1);
            tzset();
        }
#endif
        for (const auto& row : rows) {
            SCOPED_TRACE(row.line);
            ZipEntrySpec e = Entry("t.txt", "time");
            e.localExtra = row.extra;
            const std::string bytes = BuildZip({e}).bytes;
            OpenArchive archive(bytes);
            ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), folder_.Path().c_str()), ArchiveOk);
            ASSERT_EQ(ArchiveExtractToFile(archive.Get(), 0, "t.txt"), ArchiveOk);
            EXPECT_EQ(port_.write, TicksFromUnix(row.write));
            EXPECT_EQ(port_.access, TicksFromUnix(row.access));
            EXPECT_EQ(port_.create, TicksFromUnix(row.create));
            EXPECT_EQ(LastWriteUnixTime(folder_.Join("t.txt")), row.write);
        }
    }
#ifndef _WIN32
    setenv("TZ", "UTC", 1);
    tzset();
#endif
    port_.useFixedZone = false;
}

TEST_F(ZipExtractTest, WriteFailureIsReported) {
    const std::string bytes = BuildZip({Entry("w.txt", "data")}).bytes;
    OpenArchive archive(bytes);
    ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), folder_.Path().c_str()), ArchiveOk);
    port_.failWrites = true;
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, "w.txt"), ArchiveWriteFailed);
    EXPECT_EQ(port_.events.back(), "close");
}

TEST_F(ZipExtractTest, RefusedRequestsCreateNothing) {
    ZipLayout layout = BuildZip({Entry("a.txt", "a"), Entry("b.txt", "b")});
    Put32(layout.bytes, layout.local[1], 0);  // item 1 cannot be looked up
    OpenArchive archive(layout.bytes);
    ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), folder_.Join("base").c_str()), ArchiveOk);
    char buffer[4];
    for (int32_t index : {2, -1, -5, INT32_MIN}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(ArchiveExtractToFile(archive.Get(), index, "x.txt"), ArchiveBadArgument);
        EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), index, buffer, 4), ArchiveBadArgument);
    }
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 1, "b.txt"), ArchiveBadLocalHeader);
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 1, buffer, 4), ArchiveInflateFailed);
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, nullptr), ArchiveBadArgument);
    EXPECT_EQ(ArchiveExtractToMemory(archive.Get(), 0, nullptr, 4), ArchiveBadArgument);

    // Texts beyond MAX_PATH: refused, and the base folder stays as it was.
    const std::string longFolder(300, 'f');
    EXPECT_EQ(ArchiveSetTargetDir(archive.Get(), longFolder.c_str()), ArchiveBadArgument);
    EXPECT_EQ(ArchiveSetTargetDir(archive.Get(), std::string(259, 'f').c_str()),
              ArchiveBadArgument);  // no room for the separator
    EXPECT_EQ(ArchiveSetTargetDir(archive.Get(), nullptr), ArchiveBadArgument);
    const std::string longPath = std::string(120, 'p') + "/" + std::string(140, 'q');
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, longPath.c_str()), ArchiveBadArgument);
    EXPECT_TRUE(port_.events.empty());
    EXPECT_TRUE(ListTree(folder_.Path()).empty());
    EXPECT_EQ(ArchiveExtractToFile(archive.Get(), 0, "a.txt"), ArchiveOk);
    EXPECT_EQ(ReadWholeFile(folder_.Join("base/a.txt")), "a");
}

TEST_F(ZipExtractTest, HostileNamesStayInsideTheBaseFolder) {
    const char* const names[] = {
        "../up.txt",
        "..\\up2.txt",
        "../../../../up3.txt",
        "/root.txt",
        "\\root2.txt",
        "C:\\drive.txt",
        "C:drive2.txt",
        "c:/drive3.txt",
        "a/../../up4.txt",
        "a\\..\\..\\up5.txt",
        "\\\\server\\share\\unc.txt",
        "//server/share/unc2.txt",
        "C:..\\up6.txt",
        "x/..",
        "..",
        "ok/../../../../../../tmp/up7.txt",
        "./../up8.txt",
    };
    std::vector<ZipEntrySpec> entries;
    for (const char* name : names)
        entries.push_back(Entry(name, name));
    entries.push_back(Folder("../updir/"));
    entries.push_back(Folder("/rootdir/"));
    const std::string bytes = BuildZip(entries).bytes;
    OpenArchive archive(bytes);
    const std::string base = folder_.Join("base");
    ASSERT_EQ(ArchiveSetTargetDir(archive.Get(), base.c_str()), ArchiveOk);
    for (int32_t i = 0; i < archive.Count(); ++i) {
        ZipItem item;
        ASSERT_EQ(ArchiveGetItem(archive.Get(), i, &item), ArchiveOk);
        SCOPED_TRACE(item.name);
        ArchiveExtractToFile(archive.Get(), i, item.name);
    }
    const std::set<std::string> tree = ListTree(folder_.Path());
    EXPECT_GT(tree.size(), 10u);
    for (const std::string& path : tree)
        EXPECT_EQ(path.rfind("base/", 0), 0u) << path;
    EXPECT_EQ(ReadWholeFile(folder_.Join("base/up.txt")), "../up.txt");
    EXPECT_EQ(ReadWholeFile(folder_.Join("base/server/share/unc.txt")),
              "\\\\server\\share\\unc.txt");
    EXPECT_TRUE(FolderExists(folder_.Join("base/updir")));
}

TEST(ZipCloseTest, ClosesOnlyReaderHandles) {
    EXPECT_EQ(ArchiveClose(nullptr), ArchiveBadArgument);
    int32_t notAReader[4] = {7, 0, 0, 0};
    ArchiveHandle wrong = reinterpret_cast<ArchiveHandle>(notAReader);
    EXPECT_EQ(ArchiveClose(wrong), ArchiveWrongHandle);
    EXPECT_EQ(ArchiveSetTargetDir(wrong, "x"), ArchiveWrongHandle);
    EXPECT_EQ(ArchiveExtractToFile(wrong, 0, "x"), ArchiveWrongHandle);
    EXPECT_EQ(ArchiveExtractToMemory(wrong, 0, nullptr, 0), ArchiveWrongHandle);
    EXPECT_EQ(ArchiveSetTargetDir(nullptr, "x"), ArchiveBadArgument);
    EXPECT_EQ(ArchiveExtractToFile(nullptr, 0, "x"), ArchiveBadArgument);
    EXPECT_EQ(ArchiveExtractToMemory(nullptr, 0, nullptr, 0), ArchiveBadArgument);

    // Closing in the middle of an extraction to memory frees its stream (ASan checks).
    const std::string bytes = BuildZip({Entry("z.txt", MixedData(50000, 8), 8)}).bytes;
    ArchiveHandle h = ArchiveOpenFromMemory(bytes.data(), uint32_t(bytes.size()));
    ASSERT_NE(h, nullptr);
    char buffer[100];
    EXPECT_EQ(ArchiveExtractToMemory(h, 0, buffer, sizeof(buffer)), ArchiveBufferFull);
    EXPECT_EQ(ArchiveClose(h), ArchiveOk);
}

}  // namespace

namespace {

// Opens bytes from a heap block of exactly their size, so that the sanitizers see any read
// past the end, then looks up and extracts every item to memory. Returns the items that came
// out whole, by index; null when the bytes did not open.
std::unique_ptr<std::map<int32_t, std::string>> ReadEverything(const std::string& bytes) {
    std::unique_ptr<char[]> block(new char[bytes.size() + 1]);
    memcpy(block.get(), bytes.data(), bytes.size());
    ArchiveHandle h = ArchiveOpenFromMemory(block.get(), uint32_t(bytes.size()));
    if (h == nullptr)
        return nullptr;
    std::unique_ptr<std::map<int32_t, std::string>> whole(new std::map<int32_t, std::string>);
    ZipItem item;
    ArchiveGetItem(h, -1, &item);
    for (int32_t i = 0, count = item.index; i < count; ++i) {
        if (ArchiveGetItem(h, i, &item) != ArchiveOk)
            continue;
        // A lying size is read in pieces of at most 1 MiB.
        const uint32_t piece =
            item.uncompressedSize < (1u << 20) ? item.uncompressedSize : 1u << 20;
        std::string out, buffer(piece, '\0');
        ArchiveResult r;
        do {
            r = ArchiveExtractToMemory(h, i, &buffer[0], piece);
            out.append(buffer, 0, r == ArchiveBufferFull ? piece : 0);
        } while (r == ArchiveBufferFull);
        if (r == ArchiveOk)
            (*whole)[i] = out + buffer.substr(0, item.uncompressedSize - out.size());
    }
    EXPECT_EQ(ArchiveClose(h), ArchiveOk);
    return whole;
}

TEST(ZipRobustnessTest, TruncatedArchivesDoNotOpen) {
    const std::string bytes = Fixture("infozip_unix.zip");
    ASSERT_NE(ReadEverything(bytes), nullptr);
    EXPECT_EQ(ReadEverything(bytes)->size(), 3u);
    for (size_t n = 0; n < bytes.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(ReadEverything(bytes.substr(0, n)), nullptr);  // the end record is cut
    }
}

TEST(ZipRobustnessTest, CorruptionNeverPassesAsWholeData) {
    // (No stored archive inside: its own end record would rightly open in place of a spoilt one.)
    const std::string bytes = Fixture("infozip_unix.zip");
    const std::map<int32_t, std::string> original = *ReadEverything(bytes);
    ASSERT_EQ(original.size(), 3u);
    size_t opened = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        SCOPED_TRACE(i);
        for (uint8_t flip : {0x01, 0x80, 0xff}) {
            std::string spoilt = bytes;
            spoilt[i] = char(spoilt[i] ^ flip);
            const auto whole = ReadEverything(spoilt);
            if (whole == nullptr)
                continue;
            ++opened;
            for (const auto& item : *whole) {
                const auto expected = original.find(item.first);
                if (expected == original.end()) {
                    ADD_FAILURE() << "item " << item.first << " appeared";
                } else {
                    EXPECT_TRUE(item.second == expected->second) << "item " << item.first;
                }
            }
        }
    }
    EXPECT_GT(opened, bytes.size());  // most damage leaves the archive readable
}

}  // namespace

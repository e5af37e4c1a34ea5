// The package unpacking rules, on packages made by fixtures/make_fixtures.py.
#include "download/unpack.h"

#include <stdlib.h>

#include <new>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/unit/embedded_files.h"
#include "tests/unit/test_folder.h"
#include "tests/unit/zip_builder.h"
#include "zip/archive.h"

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#define chdir _chdir
#else
#include <unistd.h>
#endif

// Counts the bytes live through operator new, and can refuse one request size, so that the
// memory rule and the allocation failure can be shown.
namespace {
size_t g_liveBytes = 0;
size_t g_peakBytes = 0;
size_t g_refuseSize = 0;    // a request of exactly this size fails
const size_t kHeader = 16;  // keeps the payload aligned

void* CountedNew(size_t size) {
    if (size != 0 && size == g_refuseSize)
        throw std::bad_alloc();
    unsigned char* p = static_cast<unsigned char*>(malloc(size + kHeader));
    if (p == nullptr)
        throw std::bad_alloc();
    *reinterpret_cast<size_t*>(p) = size;
    g_liveBytes += size;
    if (g_liveBytes > g_peakBytes)
        g_peakBytes = g_liveBytes;
    return p + kHeader;
}

void CountedDelete(void* q) {
    if (q == nullptr)
        return;
    unsigned char* p = static_cast<unsigned char*>(q) - kHeader;
    g_liveBytes -= *reinterpret_cast<size_t*>(p);
    free(p);
}
}  // namespace

void* operator new(size_t size) {
    return CountedNew(size);
}
void* operator new[](size_t size) {
    return CountedNew(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return CountedNew(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    CountedDelete(p);
}
void operator delete[](void* p) noexcept {
    CountedDelete(p);
}
void operator delete(void* p, size_t) noexcept {
    CountedDelete(p);
}
void operator delete[](void* p, size_t) noexcept {
    CountedDelete(p);
}

namespace {

void Unpack(const std::string& package, const TestFolder& folder) {
    UnpackPackage(package.data(), uint32_t(package.size()), folder.Path().c_str());
}

TEST(UnpackTest, PackagesGiveTheirFiles) {
    struct Row {
        int line;
        const char* fixture;
        std::set<std::string> tree;
    };
    const Row rows[] = {
        {__LINE__, "pkg_basic.zip", {"setup.exe", "autoupdatecpy.exe", "readme.txt"}},
        // Renamed only inside a nested archive, and only by its whole name.
        {__LINE__,
         "pkg_rename.zip",
         {"autoupdate.exe", "autoupdatecpy.exe", "tools/", "tools/autoupdate.exe"}},
        // ".zip" is matched case-sensitively anywhere in the name.
        {__LINE__, "pkg_case.zip", {"DATA.ZIP", "after.txt"}},
        {__LINE__, "not_a_zip.bin", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        TestFolder folder;
        Unpack(Fixture(row.fixture), folder);
        EXPECT_EQ(ListTree(folder.Path()), row.tree);
    }
}

TEST(UnpackTest, FileContents) {
    TestFolder folder;
    Unpack(Fixture("pkg_rename.zip"), folder);
    EXPECT_EQ(ReadWholeFile(folder.Join("autoupdate.exe")), "top level");
    EXPECT_EQ(ReadWholeFile(folder.Join("autoupdatecpy.exe")), "renamed");
    EXPECT_EQ(ReadWholeFile(folder.Join("tools/autoupdate.exe")), "kept");

    TestFolder other;
    Unpack(Fixture("pkg_case.zip"), other);
    const std::string inner = ReadWholeFile(other.Join("DATA.ZIP"));
    EXPECT_EQ(inner.substr(0, 4), "PK\x03\x04");  // the archive itself, not its items
}

TEST(UnpackTest, LaterNestedArchiveWins) {
    TestFolder folder;
    Unpack(Fixture("pkg_two_nested.zip"), folder);
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{"same.txt"});
    EXPECT_EQ(ReadWholeFile(folder.Join("same.txt")), "second");
}

TEST(UnpackTest, EarlierFilesStayUnlessReplaced) {
    TestFolder folder;
    WriteWholeFile(folder.Join("keep.txt"), "left by an earlier run");
    WriteWholeFile(folder.Join("setup.exe"), "old installer");
    Unpack(Fixture("pkg_basic.zip"), folder);
    EXPECT_EQ(ReadWholeFile(folder.Join("keep.txt")), "left by an earlier run");
    EXPECT_EQ(ReadWholeFile(folder.Join("setup.exe")), "installer");
}

TEST(UnpackTest, GbkNameLandsUnderThatName) {
    TestFolder folder;
    Unpack(Fixture("pkg_gbk_name.zip"), folder);
    const std::string gbk = "\xD6\xD0\xCE\xC4\xCB\xB5\xC3\xF7.txt";  // 中文说明.txt
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{gbk});
#ifdef _WIN32
    // In Chinese: the ANSI name is read as code page 936.
    WIN32_FIND_DATAW fd;
    const std::string pattern = folder.Join("*.txt");
    wchar_t widePattern[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, pattern.c_str(), -1, widePattern, MAX_PATH);
    HANDLE h = FindFirstFileW(widePattern, &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    EXPECT_EQ(std::wstring(fd.cFileName), L"\u4E2D\u6587\u8BF4\u660E.txt");
#endif
}

// The GBK bytes of the names below (the code page of the file calls here).
const std::string kReadme = "\xCB\xB5\xC3\xF7.txt";                 // 说明.txt
const std::string kFolder = "\xCE\xC4\xBC\xFE\xBC\xD0";             // 文件夹
const std::string kContent = kFolder + "/\xC4\xDA\xC8\xDD.txt";     // 文件夹/内容.txt
const std::string kNotes = "\xB8\xFC\xD0\xC2\xCB\xB5\xC3\xF7.txt";  // 更新说明.txt

ZipEntrySpec Utf8Entry(const std::string& name, const std::string& data) {
    ZipEntrySpec e = Entry(name, data);
    e.flags = 0x800;
    return e;
}

TEST(UnpackTest, Utf8NamesLandUnderTheNamesTheirAuthorsGave) {
    const struct {
        int line;
        std::string package;
        std::set<std::string> tree;
    } rows[] = {
        // Python's zipfile: at the top, in a folder, inside a nested archive (whose updater
        // is still renamed).
        {__LINE__,
         Fixture("pkg_utf8_python.zip"),
         {kReadme, kFolder + "/", kContent, "autoupdatecpy.exe", kNotes}},
        {__LINE__, Fixture("infozip_utf8.zip"), {kReadme, kFolder + "/", kContent}},
        // Malformed, or with no form in the code page (an emoji): skipped, not renamed. A
        // character GBK has (é) is kept.
        {__LINE__,
         BuildZip({Utf8Entry("\xFF\xFE.txt", "bad"), Utf8Entry("\xE8\xAF.txt", "cut"),
                   Utf8Entry("\xF0\x9F\x98\x80.txt", "emoji"),
                   Utf8Entry("\xC3\xA9t\xC3\xA9.txt", "kept"), Utf8Entry("ok.txt", "ok")})
             .bytes,
         {"\xA8\xA6t\xA8\xA6.txt", "ok.txt"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        TestFolder folder;
        Unpack(row.package, folder);
        EXPECT_EQ(ListTree(folder.Path()), row.tree);
    }
#ifndef _WIN32
    {
        // Unflagged (Debian's Info-ZIP): the bytes stay as stored, read as GBK.
        TestFolder raw;
        Unpack(Fixture("infozip_utf8_unflagged.zip"), raw);
        const std::string folder = "\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9";
        EXPECT_EQ(ListTree(raw.Path()),
                  (std::set<std::string>{"\xE8\xAF\xB4\xE6\x98\x8E.txt", folder + "/",
                                         folder + "/\xE5\x86\x85\xE5\xAE\xB9.txt"}));
    }
#endif
    TestFolder folder;
    Unpack(Fixture("pkg_utf8_python.zip"), folder);
    EXPECT_EQ(ReadWholeFile(folder.Join(kContent)), "content");
    EXPECT_EQ(ReadWholeFile(folder.Join("autoupdatecpy.exe")), "utf8 updater");
    // The reader says why it gives no name.
    const std::string bad = BuildZip({Utf8Entry("\xF0\x9F\x98\x80.txt", "emoji")}).bytes;
    ArchiveHandle h = ArchiveOpenFromMemory(bad.data(), uint32_t(bad.size()));
    ZipItem item;
    EXPECT_EQ(ArchiveGetItem(h, 0, &item), ArchiveBadName);
    EXPECT_EQ(ArchiveExtractToFile(h, 0, "x.txt"), ArchiveBadName);
    ArchiveClose(h);
}

#ifdef _WIN32
TEST(UnpackTest, Utf8NamesReadRightThroughTheWideApi) {
    TestFolder folder;
    Unpack(Fixture("pkg_utf8_python.zip"), folder);
    WIN32_FIND_DATAW fd;
    wchar_t pattern[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, folder.Join("*.txt").c_str(), -1, pattern, MAX_PATH);
    HANDLE h = FindFirstFileW(pattern, &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::set<std::wstring> names;
    do {
        names.insert(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    EXPECT_EQ(names,
              (std::set<std::wstring>{L"\u8BF4\u660E.txt", L"\u66F4\u65B0\u8BF4\u660E.txt"}));
}
#endif

TEST(UnpackTest, HoldsThePackageAndOneNestedBufferAtMost) {
    // Two nested archives of about 300 KB each: their buffers are never live together.
    ZipEntrySpec inner;
    inner.name = "one.txt";
    inner.data = std::string(300000, 'n');
    ZipEntrySpec first;
    first.name = "first.zip";
    first.data = BuildZip({inner}).bytes;
    first.method = 8;
    ZipEntrySpec second = first;
    second.name = "second.zip";
    const std::string package = BuildZip({first, second}).bytes;
    TestFolder folder;
    const size_t before = g_liveBytes;
    g_peakBytes = g_liveBytes;
    Unpack(package, folder);
    const size_t peak = g_peakBytes - before;
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{"one.txt"});
    EXPECT_GE(peak, first.data.size());
    EXPECT_LT(peak, first.data.size() + 100000);  // one buffer plus the reader's own state
    EXPECT_EQ(g_liveBytes, before);
}

// Sets an item's uncompressed size or CRC-32 in both of its records.
void PutBoth(ZipLayout& zip, size_t item, uint32_t localField, uint32_t value) {
    Put32(zip.bytes, zip.local[item] + localField, value);
    Put32(zip.bytes, zip.central[item] + localField + 2, value);
}
const uint32_t kLocalCrc = 14, kLocalUncompressed = 22;

// The archive's one item listed twice in its central directory: the same data read as two
// items, as archives that expand far beyond their size do.
std::string ListedTwice(const ZipLayout& zip) {
    std::string central = zip.bytes.substr(zip.central[0], zip.end - zip.central[0]);
    std::string end = zip.bytes.substr(zip.end);
    Put16(end, 8, 2);
    Put16(end, 10, 2);
    Put32(end, 12, uint32_t(2 * central.size()));
    return zip.bytes.substr(0, zip.central[0]) + central + central + end;
}

// Hostile packages: what lands in the target folder, and that nothing lands beside it.
TEST(UnpackTest, HostilePackagesStayInTheirFolder) {
    const std::string longName(255, 'n');  // fits a record, not a path below the folder
    ZipLayout larger = BuildZip({Entry("larger.txt", "0123456789"), Entry("good.txt", "good")});
    PutBoth(larger, 0, kLocalUncompressed, 11);
    ZipLayout smaller = BuildZip({Entry("smaller.txt", MixedData(5000, 2), 8)});
    PutBoth(smaller, 0, kLocalUncompressed, 4000);
    ZipLayout badCrc = BuildZip({Entry("setup.exe", MixedData(40000, 3), 8)});
    PutBoth(badCrc, 0, kLocalCrc, 0x12345678);
    const ZipLayout overlap = BuildZip({Entry("dup.txt", MixedData(3000, 4))});
    // A nested archive that claims 3.75 GiB: no buffer is asked for it.
    ZipLayout claims = BuildZip({Entry("big.zip", BuildZip({Entry("in.txt", "in")}).bytes, 8),
                                 Entry("after.txt", "after")});
    PutBoth(claims, 0, kLocalUncompressed, 0xF0000000u);
    ZipLayout nestedLies = BuildZip({Entry("inner.txt", "inner data"), Entry("ok.txt", "ok")});
    PutBoth(nestedLies, 0, kLocalCrc, 1);
    const std::string nestedLiar = BuildZip({Entry("n.zip", nestedLies.bytes)}).bytes;
    // Inside a nested archive: an archive is only a file; the name and overlap checks hold.
    const std::string innermost = BuildZip({Entry("deep.txt", "deep")}).bytes;
    const std::string nestedHoldsZip =
        BuildZip({Entry("n.zip", BuildZip({Entry("inner.zip", innermost, 8)}).bytes)}).bytes;
    const std::string nestedHostile =
        BuildZip({Entry("n.zip", BuildZip({Entry("con.txt", "c"), Entry("a/b:s", "s"),
                                           Entry("x./y.txt", "d"), Entry("../fine.txt", "f")})
                                     .bytes)})
            .bytes;
    const std::string nestedOverlap =
        BuildZip({Entry("n.zip", ListedTwice(BuildZip({Entry("d.txt", MixedData(3000, 5))}))),
                  Entry("own.txt", "own")})
            .bytes;

    struct Row {
        int line;
        std::string package;
        std::set<std::string> tree;
    };
    const Row rows[] = {
        // Parent parts, roots, drives and UNC names are cut down by the reader's cleaning.
        {__LINE__,
         BuildZip({Entry("../up.txt", "1"), Entry("a/../../b.txt", "2"),
                   Entry("..\\..\\w.txt", "3"), Entry("/abs.txt", "4"),
                   Entry("C:\\abs\\d.txt", "5"), Entry("\\\\server\\share\\u.txt", "6"),
                   Entry("d:x.txt", "7")})
             .bytes,
         {"up.txt", "b.txt", "w.txt", "abs.txt", "abs/", "abs/d.txt", "server/", "server/share/",
          "server/share/u.txt", "x.txt"}},
        // What the cleaning leaves but Windows would read otherwise is not written.
        {__LINE__,
         BuildZip({Entry("dir/file.txt:stream", "s"), Entry("file.txt::$DATA", "s"),
                   Entry("x/.. /y.txt", "d"), Entry(".../z.txt", "d"), Entry("a/. /b.txt", "d"),
                   Entry("con.txt", "c"), Entry("NUL", "c"), Entry("sub/Aux .log", "c"),
                   Entry("com1", "c"), Entry("LPT9.txt", "c"), Entry("console.txt", "kept"),
                   Entry("dots.../f.txt", "d"), Entry("space /f.txt", "d"), Entry("end.", "d"),
                   Entry("com10.txt", "kept"), Entry(".hidden/.f", "kept")})
             .bytes,
         {"console.txt", "com10.txt", ".hidden/", ".hidden/.f"}},
        {__LINE__,
         BuildZip({Entry(longName, "long"), Entry("short.txt", "s")}).bytes,
         {"short.txt"}},
        // Sizes and checksums that lie: the item's file does not stay, the next one comes.
        {__LINE__, larger.bytes, {"good.txt"}},
        {__LINE__, smaller.bytes, {}},
        {__LINE__, badCrc.bytes, {}},
        {__LINE__, ListedTwice(overlap), {}},
        {__LINE__, claims.bytes, {"after.txt"}},
        {__LINE__, nestedLiar, {"ok.txt"}},
        {__LINE__, nestedHoldsZip, {"inner.zip"}},
        {__LINE__, nestedHostile, {"fine.txt"}},
        {__LINE__, nestedOverlap, {"own.txt"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        TestFolder root;
        const std::string target = root.Join("tarune");
        WriteWholeFile(root.Join("marker"), "");  // creates nothing but shows the root
        g_refuseSize = 0xF0000000u;
        EXPECT_NO_THROW(
            UnpackPackage(row.package.data(), uint32_t(row.package.size()), target.c_str()));
        g_refuseSize = 0;
        std::set<std::string> expected = {"marker"};
        if (FolderExists(target))
            expected.insert("tarune/");
        for (const std::string& path : row.tree)
            expected.insert("tarune/" + path);
        EXPECT_EQ(ListTree(root.Path()), expected);
    }
    // The archive inside the nested one is written whole, as the bytes it is.
    TestFolder folder;
    Unpack(nestedHoldsZip, folder);
    EXPECT_EQ(ReadWholeFile(folder.Join("inner.zip")), innermost);
}

TEST(UnpackTest, TruncatedPackagesWriteNothing) {
    const ZipLayout package = BuildZip(
        {Entry("setup.exe", "installer"), Entry("data.zip", Fixture("pkg_rename.zip"), 8)});
    std::set<size_t> cuts = {0, package.end, package.end + 4, package.bytes.size() - 1};
    for (const std::vector<uint32_t>* records : {&package.local, &package.central}) {
        for (uint32_t offset : *records) {
            cuts.insert(offset);
            cuts.insert(offset + 4);
            cuts.insert(offset + 30);
        }
    }
    for (size_t n : cuts) {
        SCOPED_TRACE(n);
        TestFolder folder;
        Unpack(package.bytes.substr(0, n), folder);
        EXPECT_TRUE(ListTree(folder.Path()).empty());
    }
}

TEST(UnpackTest, FolderTheReaderRefusesWritesNothingAnywhere) {
    // 259 characters: with the separator the reader adds it no longer fits MAX_PATH, and the
    // reader would keep its default base, the current directory.
    TestFolder cwd;
    TestFolder root;
    const std::string target =
        root.Path() + PathSeparator() + std::string(259 - root.Path().size() - 1, 'z');
    ASSERT_EQ(target.size(), 259u);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(cwd.Path().c_str()), 0);
    const std::string package = Fixture("pkg_basic.zip");
    UnpackPackage(package.data(), uint32_t(package.size()), target.c_str());
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_TRUE(ListTree(cwd.Path()).empty());
    EXPECT_TRUE(ListTree(root.Path()).empty());
}

TEST(UnpackTest, NestedBufferFailureIsTheCallersException) {
    const std::string package = Fixture("pkg_basic.zip");
    ZipItem nested;
    {
        ArchiveHandle h = ArchiveOpenFromMemory(package.data(), uint32_t(package.size()));
        ASSERT_EQ(ArchiveGetItem(h, 1, &nested), ArchiveOk);
        ASSERT_STREQ(nested.name, "data.zip");
        ArchiveClose(h);
    }
    TestFolder folder;
    const size_t before = g_liveBytes;
    g_refuseSize = nested.uncompressedSize;
    EXPECT_THROW(Unpack(package, folder), std::bad_alloc);
    g_refuseSize = 0;
    EXPECT_EQ(g_liveBytes, before);  // the package's handle was closed on the way out
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{"setup.exe"});
}

}  // namespace

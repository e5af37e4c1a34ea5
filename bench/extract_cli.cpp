// extract_cli: one extraction of a package file as a whole process, for bench/report to time
// against Info-ZIP unzip, bsdtar and Python's zipfile.
//
//   extract_cli reader-memory PACKAGE       the zip reader, every item into memory
//   extract_cli reader-files PACKAGE DIR    the zip reader, every item to a file below DIR
//   extract_cli unpack PACKAGE DIR          the program's unpacking (nested archives opened)
//   extract_cli raw-memory PACKAGE          raw zlib inflate plus crc32 of every item's data,
//   extract_cli raw-files PACKAGE DIR       with 16 KiB buffers: the limit
//
// Prints the number of bytes extracted. Exit code 0 when every item came out whole.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench/raw_inflate.h"
#include "download/unpack.h"
#include "zip/archive.h"

namespace {

// The package as the program holds it, whole in memory; mapped, so that the bytes are read as
// the extraction reaches them, as a streaming peer reads its input.
struct Mapped {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

Mapped MapWhole(const char* path) {
    Mapped m;
    const int fd = open(path, O_RDONLY);
    if (fd < 0)
        return m;
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_size > 0) {
        void* p = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            m.data = static_cast<const uint8_t*>(p);
            m.size = size_t(st.st_size);
        }
    }
    close(fd);
    return m;
}

uint32_t Le16(const uint8_t* p) {
    return p[0] | (uint32_t(p[1]) << 8);
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

// The limit needs no checks: the package is our own. Its central directory, item by item.
struct RawItem {
    std::string name;
    uint32_t method, crc, compressed, uncompressed;
    const uint8_t* data;
};

std::vector<RawItem> RawItems(const Mapped& zip) {
    std::vector<RawItem> items;
    size_t end = zip.size - 22;
    while (end > 0 && Le32(zip.data + end) != 0x06054b50)
        --end;
    const uint32_t count = Le16(zip.data + end + 10);
    size_t p = Le32(zip.data + end + 16);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* c = zip.data + p;
        const uint32_t n = Le16(c + 28), m = Le16(c + 30), k = Le16(c + 32);
        const uint8_t* local = zip.data + Le32(c + 42);
        RawItem item = {std::string(reinterpret_cast<const char*>(c + 46), n),
                        Le16(c + 10),
                        Le32(c + 16),
                        Le32(c + 20),
                        Le32(c + 24),
                        local + 30 + Le16(local + 26) + Le16(local + 28)};
        items.push_back(item);
        p += 46 + n + m + k;
    }
    return items;
}

void MakeParents(const std::string& path) {
    for (size_t i = path.find('/', 1); i != std::string::npos; i = path.find('/', i + 1))
        mkdir(path.substr(0, i).c_str(), 0755);
}

// Copies or inflates one item into fd (-1: nowhere); true when it came out whole, with its
// CRC-32 and size.
bool RawExtract(const RawItem& item, int fd) {
    const RawResult r =
        RawInflate(item.data, item.compressed, item.method, [fd](const uint8_t* bytes, uint32_t n) {
            return fd < 0 || n == 0 || write(fd, bytes, n) == ssize_t(n);
        });
    return r.ended && r.crc == item.crc && r.produced == item.uncompressed;
}

int Raw(const Mapped& zip, const char* dir) {
    uint64_t total = 0;
    bool whole = true;
    for (const RawItem& item : RawItems(zip)) {
        if (!item.name.empty() && item.name.back() == '/')
            continue;
        int fd = -1;
        if (dir != nullptr) {
            const std::string path = std::string(dir) + "/" + item.name;
            MakeParents(path);
            fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        whole = RawExtract(item, fd) && whole;
        if (fd >= 0)
            close(fd);
        total += item.uncompressed;
    }
    printf("%llu\n", static_cast<unsigned long long>(total));
    return whole ? 0 : 1;
}

int Reader(const Mapped& zip, const char* dir) {
    ArchiveHandle h = ArchiveOpenFromMemory(zip.data, uint32_t(zip.size));
    if (h == nullptr)
        return 1;
    if (dir != nullptr)
        ArchiveSetTargetDir(h, dir);
    ZipItem item;
    ArchiveGetItem(h, -1, &item);
    const int32_t count = item.index;
    std::vector<uint8_t> buffer;
    uint64_t total = 0;
    bool whole = true;
    for (int32_t i = 0; i < count; ++i) {
        whole = ArchiveGetItem(h, i, &item) == ArchiveOk && whole;
        if ((item.attributes & 0x10) != 0)
            continue;
        if (dir != nullptr) {
            whole = ArchiveExtractToFile(h, i, item.name) == ArchiveOk && whole;
        } else {
            if (buffer.size() < item.uncompressedSize)
                buffer.resize(item.uncompressedSize);
            whole =
                ArchiveExtractToMemory(h, i, buffer.data(), item.uncompressedSize) == ArchiveOk &&
                whole;
        }
        total += item.uncompressedSize;
    }
    ArchiveClose(h);
    printf("%llu\n", static_cast<unsigned long long>(total));
    return whole ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: extract_cli MODE PACKAGE [DIR]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const Mapped zip = MapWhole(argv[2]);
    if (zip.size < 22)
        return 1;
    const char* dir = argc >= 4 ? argv[3] : nullptr;
    if (mode == "raw-memory")
        return Raw(zip, nullptr);
    if (mode == "raw-files" && dir != nullptr)
        return Raw(zip, dir);
    if (mode == "reader-memory")
        return Reader(zip, nullptr);
    if (mode == "reader-files" && dir != nullptr)
        return Reader(zip, dir);
    if (mode == "unpack" && dir != nullptr) {
        UnpackPackage(zip.data, uint32_t(zip.size), dir);
        return 0;
    }
    fprintf(stderr, "extract_cli: unknown mode %s\n", mode.c_str());
    return 2;
}

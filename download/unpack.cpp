// The package unpacking rules.
#include "download/unpack.h"

#include <string.h>

#include <memory>

#include "zip/archive.h"

namespace {

const char kNestedMark[] = ".zip";
const char kUpdaterName[] = "autoupdate.exe";
const char kUpdaterCopyName[] = "autoupdatecpy.exe";

// Closes the archive however the unpacking ends, an allocation failure included.
class ScopedArchive {
public:
    explicit ScopedArchive(ArchiveHandle h) : h_(h) {}
    ~ScopedArchive() { ArchiveClose(h_); }
    ScopedArchive(const ScopedArchive&) = delete;
    ScopedArchive& operator=(const ScopedArchive&) = delete;
    ArchiveHandle Get() const { return h_; }

private:
    ArchiveHandle h_;
};

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const char ca = *a >= 'A' && *a <= 'Z' ? char(*a - 'A' + 'a') : *a;
        const char cb = *b >= 'A' && *b <= 'Z' ? char(*b - 'A' + 'a') : *b;
        if (ca != cb)
            return false;
        if (ca == '\0')
            return true;
    }
}

int32_t ItemCount(ArchiveHandle archive) {
    ZipItem item;
    ArchiveGetItem(archive, -1, &item);  // a null handle reads as no items
    return item.index;
}

void UnpackNested(ArchiveHandle package, int32_t index, uint32_t size, const char* targetDir) {
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
    // Bytes that did not come out whole are not opened as an archive.
    if (ArchiveExtractToMemory(package, index, buffer.get(), size) != ArchiveOk)
        return;
    ScopedArchive nested(ArchiveOpenFromMemory(buffer.get(), size));
    ArchiveSetTargetDir(nested.Get(), targetDir);
    const int32_t count = ItemCount(nested.Get());
    ZipItem item;
    for (int32_t i = 0; i < count; ++i) {
        ArchiveGetItem(nested.Get(), i, &item);
        const bool updater = EqualsIgnoringAsciiCase(item.name, kUpdaterName);
        ArchiveExtractToFile(nested.Get(), i, updater ? kUpdaterCopyName : item.name);
    }
}

}  // namespace

void UnpackPackage(const void* package, uint32_t length, const char* targetDir) {
    ScopedArchive archive(ArchiveOpenFromMemory(package, length));
    ArchiveSetTargetDir(archive.Get(), targetDir);
    const int32_t count = ItemCount(archive.Get());
    ZipItem item;
    for (int32_t i = 0; i < count; ++i) {
        ArchiveGetItem(archive.Get(), i, &item);
        if (strstr(item.name, kNestedMark) != nullptr) {
            UnpackNested(archive.Get(), i, item.uncompressedSize, targetDir);
        } else {
            ArchiveExtractToFile(archive.Get(), i, item.name);
        }
    }
}

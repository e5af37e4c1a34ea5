// The package unpacking rules.
#include "download/unpack.h"

#include <string.h>

#include <memory>
#include <string>

#include "zip/archive.h"
#include "zip/file_port.h"

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

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (AsciiLower(*a) != AsciiLower(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The first n characters of text against n lower-case ones.
bool StartsWithIgnoringAsciiCase(const char* text, const char* lower, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (AsciiLower(text[i]) != lower[i])
            return false;
    }
    return true;
}

// A component naming a device (CON, NUL, COM1 ...) opens the device instead of a file, even
// with an extension or trailing spaces.
bool IsDeviceName(const char* part, size_t length) {
    size_t base = 0;
    while (base < length && part[base] != '.')
        ++base;
    while (base > 0 && part[base - 1] == ' ')
        --base;
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (const char* device : kDevices) {
        if (base == strlen(device) && StartsWithIgnoringAsciiCase(part, device, base))
            return true;
    }
    return base == 4 &&
           (StartsWithIgnoringAsciiCase(part, "com", 3) ||
            StartsWithIgnoringAsciiCase(part, "lpt", 3)) &&
           part[3] >= '1' && part[3] <= '9';
}

// What the reader's name cleaning leaves may still leave the folder or misplace data once
// Windows reads it: Windows drops a component's trailing dots and spaces (".. " is "..",
// "a." is "a"), a ':' names a stream of another file, a device name a device.
bool IsSafeItemName(const char* name) {
    if (strchr(name, ':') != nullptr)
        return false;
    for (const char* part = name; *part != '\0';) {
        size_t length = 0;
        while (part[length] != '\0' && !IsSeparator(part[length]))
            ++length;
        const char last = length > 0 ? part[length - 1] : '\0';
        if (last == '.' || last == ' ' || (length > 0 && IsDeviceName(part, length)))
            return false;
        part += length;
        while (IsSeparator(*part))
            ++part;
    }
    return true;
}

// Writes one item; a file whose data failed part-way is removed rather than left looking
// like a whole one (an installer cut short would still be launched).
void ExtractItem(ArchiveHandle archive, int32_t index, const char* name, const char* targetDir) {
    const ArchiveResult r = ArchiveExtractToFile(archive, index, name);
    if (r == ArchiveWriteFailed || r == ArchiveInflateFailed || r == ArchiveDecryptFailed) {
        std::string path = targetDir;
        if (!path.empty() && !IsSeparator(path.back()))
            path += '\\';
        CurrentFilePort().RemoveFile((path + name).c_str());
    }
}

int32_t ItemCount(ArchiveHandle archive) {
    ZipItem item;
    ArchiveGetItem(archive, -1, &item);  // a null handle reads as no items
    return item.index;
}

// Items whose data overlap (one stream read as many items) could fill the disk from a small
// archive; genuine items never share bytes, so their compressed sizes fit the archive.
bool ItemsFitTheArchive(ArchiveHandle archive, int32_t count, uint32_t length) {
    uint64_t total = 0;
    ZipItem item;
    for (int32_t i = 0; i < count; ++i) {
        if (ArchiveGetItem(archive, i, &item) == ArchiveOk)
            total += item.compressedSize;
    }
    return total <= length;
}

// Deflate gives at most 1032 bytes for one byte; a larger claim is a lie and not worth memory.
bool SizeIsPossible(const ZipItem& item) {
    return uint64_t(item.uncompressedSize) <= uint64_t(item.compressedSize) * 1032 + 1032;
}

void UnpackNested(ArchiveHandle package, int32_t index, uint32_t size, const char* targetDir) {
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
    // Bytes that did not come out whole are not opened as an archive.
    if (ArchiveExtractToMemory(package, index, buffer.get(), size) != ArchiveOk)
        return;
    ScopedArchive nested(ArchiveOpenFromMemory(buffer.get(), size));
    if (ArchiveSetTargetDir(nested.Get(), targetDir) != ArchiveOk)
        return;
    const int32_t count = ItemCount(nested.Get());
    if (!ItemsFitTheArchive(nested.Get(), count, size))
        return;
    ZipItem item;
    for (int32_t i = 0; i < count; ++i) {
        if (ArchiveGetItem(nested.Get(), i, &item) != ArchiveOk || !IsSafeItemName(item.name))
            continue;
        const bool updater = EqualsIgnoringAsciiCase(item.name, kUpdaterName);
        ExtractItem(nested.Get(), i, updater ? kUpdaterCopyName : item.name, targetDir);
    }
}

}  // namespace

void UnpackPackage(const void* package, uint32_t length, const char* targetDir) {
    ScopedArchive archive(ArchiveOpenFromMemory(package, length));
    // A folder the reader cannot take would leave it writing under its default, the current
    // directory: an elevated program's, and not the folder the launch walk looks in.
    if (ArchiveSetTargetDir(archive.Get(), targetDir) != ArchiveOk)
        return;
    const int32_t count = ItemCount(archive.Get());
    if (!ItemsFitTheArchive(archive.Get(), count, length))
        return;
    ZipItem item;
    for (int32_t i = 0; i < count; ++i) {
        if (ArchiveGetItem(archive.Get(), i, &item) != ArchiveOk)
            continue;
        if (strstr(item.name, kNestedMark) != nullptr) {
            if (SizeIsPossible(item))
                UnpackNested(archive.Get(), i, item.uncompressedSize, targetDir);
        } else if (IsSafeItemName(item.name)) {
            ExtractItem(archive.Get(), i, item.name, targetDir);
        }
    }
}

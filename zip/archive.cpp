// The zip reader's public operations: the handle, item lookup and extraction.
#include "zip/archive.h"

#include <string.h>

#include <new>

#include "zip/catalogue.h"
#include "zip/file_port.h"
#include "zip/item_info.h"
#include "zip/item_stream.h"

namespace {

const int32_t kReaderKind = 1;
const uint32_t kMaxPath = 260;
const uint32_t kDirectoryAttribute = 0x10;

}  // namespace

struct ArchiveReader {
    ZipCatalogue* catalogue = nullptr;
    int32_t currentItem = -1;  // extraction to memory in progress
    ZipItem cache = {};
    int32_t cacheIndex = -1;
    const char* password = nullptr;  // nothing sets one
    uint8_t* outputBuffer = nullptr;
    char baseFolder[kMaxPath] = {};
};

struct ArchiveHandleRecord {
    int32_t kind;
    ArchiveReader* reader;
};

namespace {

ArchiveResult CheckHandle(ArchiveHandle h) {
    if (h == nullptr)
        return ArchiveBadArgument;
    if (h->kind != kReaderKind)
        return ArchiveWrongHandle;
    return ArchiveOk;
}

bool IsAbsolute(const char* path) {
    return IsPathSeparator(path[0]) || (path[0] != '\0' && path[1] == ':');
}

// Copies folder into the base folder with a trailing separator; an empty text stays empty,
// which makes relative paths resolve against the current directory.
bool SetBaseFolder(char (&base)[kMaxPath], const char* folder) {
    size_t length = strlen(folder);
    const bool addSeparator = length > 0 && !IsPathSeparator(folder[length - 1]);
    if (length + (addSeparator ? 1 : 0) >= kMaxPath)
        return false;
    memcpy(base, folder, length);
    if (addSeparator)
        base[length++] = '\\';
    base[length] = '\0';
    return true;
}

// base + part into out[kMaxPath]; false when it does not fit.
bool JoinPath(char (&out)[kMaxPath], const char* base, const char* part, size_t partLength) {
    const size_t baseLength = base != nullptr ? strlen(base) : 0;
    if (baseLength + partLength >= kMaxPath)
        return false;
    if (baseLength > 0)
        memcpy(out, base, baseLength);
    memcpy(out + baseLength, part, partLength);
    out[baseLength + partLength] = '\0';
    return true;
}

void CreateFolderIfMissing(FilePort& port, const char* path) {
    if (!port.PathExists(path))
        port.CreateFolder(path);
}

void CloseCurrentItem(ArchiveReader& reader) {
    if (reader.currentItem != -1) {
        CloseItemStream(reader.catalogue);
        reader.currentItem = -1;
    }
}

// Steps a lookup takes once its index is known to be valid: walk, read the central record
// with its name, check the local header, read the local extra field, fill and cache.
// General purpose flag bit 11: the name (and comment) are UTF-8 (APPNOTE, appendix D).
const uint32_t kUtf8NameFlag = 0x800;

ArchiveResult LookUpItem(ArchiveReader& reader, uint32_t index, ZipItem* item) {
    ZipCatalogue& catalogue = *reader.catalogue;
    if (!WalkToEntry(catalogue, index))
        return ArchiveBadLocalHeader;
    char name[kMaxPath];
    CentralEntry entry;
    uint32_t localHeaderOffset;
    if (ReadCentralEntry(catalogue, &entry, &localHeaderOffset, name, sizeof(name)) != ItemOk) {
        return ArchiveBadLocalHeader;
    }
    // A name that does not fit, or that a NUL would cut short, is not the stored name.
    if (entry.nameLength >= sizeof(name) || memchr(name, '\0', entry.nameLength) != nullptr) {
        return ArchiveReadFailed;
    }
    LocalHeaderInfo local;
    if (CheckLocalHeader(catalogue, &local) != ItemOk)
        return ArchiveBadLocalHeader;
    const uint8_t* extra =
        catalogue.source.View(local.extraOffset + catalogue.bytesBefore, local.extraLength);
    if (extra == nullptr)
        return ArchiveReadFailed;

    ZipItem found = {};
    found.index = int32_t(catalogue.entryNumber);
    SanitizeItemName(name, found.name);
    // Cleaned while still UTF-8, which has no trail byte that reads as a separator.
    if ((entry.flags & kUtf8NameFlag) != 0) {
        char utf8[kMaxPath];
        memcpy(utf8, found.name, sizeof(utf8));
        if (!CurrentFilePort().Utf8ToFileName(utf8, found.name, sizeof(found.name)))
            return ArchiveBadName;
    }
    found.compressedSize = entry.compressedSize;
    found.uncompressedSize = entry.uncompressedSize;
    found.attributes = ItemAttributes(entry.versionMadeBy, entry.externalAttributes);
    ItemTimes times;
    ReadItemTimes(entry.dosDateTime, extra, local.extraLength, CurrentFilePort(), &times);
    found.accessTime = times.access;
    found.createTime = times.create;
    found.writeTime = times.write;

    *item = found;
    reader.cache = found;
    reader.cacheIndex = found.index;
    return ArchiveOk;
}

}  // namespace

void EnsureDirectoryPath(const char* base, const char* path) {
    FilePort& port = CurrentFilePort();
    if (base != nullptr && base[0] != '\0')
        CreateFolderIfMissing(port, base);
    const size_t length = strlen(path);
    if (length == 0)
        return;
    char joined[kMaxPath];
    // Shallowest level first; a leading separator is no level of its own.
    for (size_t i = 1; i < length; ++i) {
        if (IsPathSeparator(path[i]) && JoinPath(joined, base, path, i)) {
            CreateFolderIfMissing(port, joined);
        }
    }
    if (JoinPath(joined, base, path, length))
        CreateFolderIfMissing(port, joined);
}

ArchiveHandle ArchiveOpenFromMemory(const void* data, uint32_t size) {
    if (data == nullptr)
        return nullptr;
    ArchiveReader* reader = new (std::nothrow) ArchiveReader;
    if (reader == nullptr)
        return nullptr;
    char current[kMaxPath];
    if (!CurrentFilePort().GetCurrentFolder(current, sizeof(current)) ||
        !SetBaseFolder(reader->baseFolder, current)) {
        reader->baseFolder[0] = '\0';  // still the current directory, by relative paths
    }
    MemorySource source = {static_cast<const uint8_t*>(data), size, 0};
    reader->catalogue = OpenCatalogue(source);
    ArchiveHandle h =
        reader->catalogue != nullptr ? new (std::nothrow) ArchiveHandleRecord : nullptr;
    if (h == nullptr) {
        CloseCatalogue(reader->catalogue);
        delete reader;
        return nullptr;
    }
    h->kind = kReaderKind;
    h->reader = reader;
    return h;
}

ArchiveResult ArchiveGetItem(ArchiveHandle h, int32_t index, ZipItem* item) {
    if (item != nullptr) {
        item->index = 0;
        item->name[0] = '\0';
        item->uncompressedSize = 0;
    }
    ArchiveResult r = CheckHandle(h);
    if (r != ArchiveOk)
        return r;
    if (item == nullptr)
        return ArchiveBadArgument;
    ArchiveReader& reader = *h->reader;
    const uint32_t count = reader.catalogue->entryCount;
    if (index < -1 || (index >= 0 && uint32_t(index) >= count))
        return ArchiveBadArgument;

    CloseCurrentItem(reader);
    if (index != -1 && index == reader.cacheIndex) {
        *item = reader.cache;
        return ArchiveOk;
    }
    if (index == -1) {
        *item = ZipItem();
        item->index = int32_t(count);
        return ArchiveOk;
    }
    return LookUpItem(reader, uint32_t(index), item);
}

ArchiveResult ArchiveSetTargetDir(ArchiveHandle h, const char* folder) {
    ArchiveResult r = CheckHandle(h);
    if (r != ArchiveOk)
        return r;
    if (folder == nullptr)
        return ArchiveBadArgument;
    return SetBaseFolder(h->reader->baseFolder, folder) ? ArchiveOk : ArchiveBadArgument;
}

ArchiveResult ArchiveExtractToFile(ArchiveHandle h, int32_t index, const char* path) {
    ArchiveResult r = CheckHandle(h);
    if (r != ArchiveOk)
        return r;
    ArchiveReader& reader = *h->reader;
    ZipCatalogue* catalogue = reader.catalogue;
    CloseCurrentItem(reader);
    if (path == nullptr || index < 0 || uint32_t(index) >= catalogue->entryCount) {
        return ArchiveBadArgument;
    }
    ZipItem item;
    r = LookUpItem(reader, uint32_t(index), &item);
    if (r != ArchiveOk)
        return r;

    const bool absolute = IsAbsolute(path);
    const size_t length = strlen(path);
    if ((item.attributes & kDirectoryAttribute) != 0) {
        const char* base = absolute ? nullptr : reader.baseFolder;
        char full[kMaxPath];
        if (!JoinPath(full, base, path, length))
            return ArchiveBadArgument;
        EnsureDirectoryPath(base, path);
        return ArchiveOk;
    }

    // Folder part: up to and including the last separator.
    size_t folderLength = length;
    while (folderLength > 0 && !IsPathSeparator(path[folderLength - 1]))
        --folderLength;
    const char* base = folderLength > 0 && absolute ? nullptr : reader.baseFolder;
    char full[kMaxPath];
    char folder[kMaxPath];
    if (!JoinPath(full, base, path, length))
        return ArchiveBadArgument;
    memcpy(folder, path, folderLength);
    folder[folderLength] = '\0';
    EnsureDirectoryPath(base, folder);

    FilePort& port = CurrentFilePort();
    FilePort::File file = port.CreateOutputFile(full, item.attributes);
    if (file == nullptr)
        return ArchiveCannotOpen;

    OpenItemStream(catalogue, reader.password);  // a failed open makes the first read fail
    if (reader.outputBuffer == nullptr) {
        reader.outputBuffer = new (std::nothrow) uint8_t[kItemChunkSize];
    }
    r = ArchiveInflateFailed;
    while (reader.outputBuffer != nullptr) {
        bool end = false;
        const int32_t n = ReadItemStream(catalogue, reader.outputBuffer, kItemChunkSize, &end);
        if (n == ItemBadCheckByte) {
            r = ArchiveDecryptFailed;
            break;
        }
        if (n < 0)
            break;
        if (n > 0 && !port.WriteOutputFile(file, reader.outputBuffer, uint32_t(n))) {
            r = ArchiveWriteFailed;
            break;
        }
        if (end) {
            // Bytes that differ from their CRC-32 or size are not a success.
            if (ItemStreamVerdict(catalogue) == ItemOk) {
                port.SetOutputFileTimes(file, item.createTime, item.accessTime, item.writeTime);
                r = ArchiveOk;
            }
            break;
        }
        if (n == 0)
            break;
    }
    port.CloseOutputFile(file);
    if (catalogue->stream != nullptr)
        CloseItemStream(catalogue);
    return r;
}

ArchiveResult ArchiveExtractToMemory(ArchiveHandle h, int32_t index, void* buffer, uint32_t size) {
    ArchiveResult r = CheckHandle(h);
    if (r != ArchiveOk)
        return r;
    if (buffer == nullptr && size > 0)
        return ArchiveBadArgument;
    ArchiveReader& reader = *h->reader;
    ZipCatalogue* catalogue = reader.catalogue;
    if (index < 0)
        return ArchiveBadArgument;  // also never mistaken for "no current item"
    if (index != reader.currentItem) {
        CloseCurrentItem(reader);
        if (uint32_t(index) >= catalogue->entryCount)
            return ArchiveBadArgument;
        // A failed walk or open is not reported here; it makes the read below fail.
        if (WalkToEntry(*catalogue, uint32_t(index)))
            OpenItemStream(catalogue, reader.password);
        reader.currentItem = index;
    }
    bool end = false;
    const int32_t n = ReadItemStream(catalogue, buffer, size, &end);
    const ItemResult verdict = end ? ItemStreamVerdict(catalogue) : ItemOk;
    if (n <= 0 || verdict != ItemOk)
        CloseCurrentItem(reader);
    if (end)
        return verdict == ItemOk ? ArchiveOk : ArchiveInflateFailed;
    if (n > 0)
        return ArchiveBufferFull;
    return n == ItemBadCheckByte ? ArchiveDecryptFailed : ArchiveInflateFailed;
}

ArchiveResult ArchiveClose(ArchiveHandle h) {
    ArchiveResult r = CheckHandle(h);
    if (r != ArchiveOk)
        return r;
    ArchiveReader* reader = h->reader;
    CloseCurrentItem(*reader);
    CloseCatalogue(reader->catalogue);
    delete[] reader->outputBuffer;
    delete reader;
    h->kind = 0;
    delete h;
    return ArchiveOk;
}

// The catalogue: end record search, central directory walk, local header check.
#include "zip/catalogue.h"

#include <string.h>

#include <new>

#include "zip/item_stream.h"

namespace {

const uint32_t kEndRecordSignature = 0x06054b50;
const uint32_t kCentralSignature = 0x02014b50;
const uint32_t kLocalSignature = 0x04034b50;
const uint32_t kCentralFixedSize = 46;
const uint32_t kLocalFixedSize = 30;
const uint32_t kSearchReach = 65535;
const uint32_t kSearchStep = 1024;
const uint32_t kSearchWindow = kSearchStep + 4;  // windows overlap so no signature is missed

}  // namespace

uint32_t MemorySource::Read(void* out, uint32_t count) {
    if (position >= length)
        return 0;
    uint32_t n = length - position < count ? length - position : count;
    memcpy(out, data + position, n);
    position += n;
    return n;
}

const uint8_t* MemorySource::View(uint32_t offset, uint32_t count) const {
    if (offset > length || length - offset < count)
        return nullptr;
    return data + offset;
}

bool MemorySource::ReadU16(uint32_t* value) {
    uint8_t b[2];
    if (!ReadBlock(b, 2))
        return false;
    *value = LoadLe16(b);
    return true;
}

bool MemorySource::ReadU32(uint32_t* value) {
    uint8_t b[4];
    if (!ReadBlock(b, 4))
        return false;
    *value = LoadLe32(b);
    return true;
}

bool FindEndRecord(MemorySource& source, uint32_t* position) {
    const uint32_t size = source.length;
    const uint32_t reach = size < kSearchReach ? size : kSearchReach;
    if (reach <= 4)
        return false;
    uint8_t window[kSearchWindow];
    uint32_t back = 4;
    while (back < reach) {
        back = back + kSearchStep < reach ? back + kSearchStep : reach;
        const uint32_t start = size - back;
        const uint32_t windowLength = back < kSearchWindow ? back : kSearchWindow;
        source.Seek(start);
        if (!source.ReadBlock(window, windowLength))
            return false;
        for (uint32_t i = windowLength - 4 + 1; i-- > 0;) {
            if (LoadLe32(window + i) == kEndRecordSignature) {
                *position = start + i;
                return true;
            }
        }
    }
    return false;
}

ZipCatalogue* OpenCatalogue(const MemorySource& from) {
    MemorySource source = from;
    uint32_t endPosition = 0;
    if (!FindEndRecord(source, &endPosition))
        return nullptr;

    source.Seek(endPosition);
    uint32_t signature, thisDisk, directoryDisk, entriesHere, entriesTotal, directorySize,
        directoryOffset, commentLength;
    if (!source.ReadU32(&signature) || !source.ReadU16(&thisDisk) ||
        !source.ReadU16(&directoryDisk) || !source.ReadU16(&entriesHere) ||
        !source.ReadU16(&entriesTotal) || !source.ReadU32(&directorySize) ||
        !source.ReadU32(&directoryOffset) || !source.ReadU16(&commentLength)) {
        return nullptr;
    }
    (void)signature;
    (void)commentLength;
    if (entriesTotal != entriesHere || thisDisk != 0 || directoryDisk != 0)
        return nullptr;
    // The directory must end at or before the end record; the sum must not wrap either.
    if (directoryOffset > UINT32_MAX - directorySize ||
        endPosition < directoryOffset + directorySize) {
        return nullptr;
    }

    ZipCatalogue* catalogue = new (std::nothrow) ZipCatalogue();
    if (catalogue == nullptr)
        return nullptr;
    catalogue->source = source;
    catalogue->entryCount = entriesHere;
    catalogue->bytesBefore = endPosition - directoryOffset - directorySize;
    catalogue->endRecordPosition = endPosition;
    catalogue->directorySize = directorySize;
    catalogue->directoryOffset = directoryOffset;
    catalogue->stream = nullptr;
    GoToFirstEntry(*catalogue);
    return catalogue;
}

void CloseCatalogue(ZipCatalogue* catalogue) {
    if (catalogue == nullptr)
        return;
    if (catalogue->stream != nullptr)
        CloseItemStream(catalogue);
    delete catalogue;
}

ItemResult ReadCentralEntry(ZipCatalogue& catalogue, CentralEntry* entry,
                            uint32_t* localHeaderOffset, char* name, uint32_t nameSize) {
    MemorySource& source = catalogue.source;
    source.Seek(catalogue.directoryPosition + catalogue.bytesBefore);
    uint32_t signature;
    if (!source.ReadU32(&signature))
        return ItemIoError;
    if (signature != kCentralSignature)
        return ItemBadArchive;

    CentralEntry e;
    uint32_t offset;
    if (!source.ReadU16(&e.versionMadeBy) || !source.ReadU16(&e.versionNeeded) ||
        !source.ReadU16(&e.flags) || !source.ReadU16(&e.method) ||
        !source.ReadU32(&e.dosDateTime) || !source.ReadU32(&e.crc32) ||
        !source.ReadU32(&e.compressedSize) || !source.ReadU32(&e.uncompressedSize) ||
        !source.ReadU16(&e.nameLength) || !source.ReadU16(&e.extraLength) ||
        !source.ReadU16(&e.commentLength) || !source.ReadU16(&e.diskNumberStart) ||
        !source.ReadU16(&e.internalAttributes) || !source.ReadU32(&e.externalAttributes) ||
        !source.ReadU32(&offset)) {
        return ItemIoError;
    }
    if (name != nullptr && nameSize > 0) {
        if (e.nameLength < nameSize) {
            if (!source.ReadBlock(name, e.nameLength))
                return ItemIoError;
            name[e.nameLength] = '\0';
        } else {
            name[0] = '\0';  // does not fit; the caller refuses the item
        }
    }
    *entry = e;
    *localHeaderOffset = offset;
    return ItemOk;
}

void GoToFirstEntry(ZipCatalogue& catalogue) {
    catalogue.directoryPosition = catalogue.directoryOffset;
    catalogue.entryNumber = 0;
    catalogue.entryValid = ReadCentralEntry(catalogue, &catalogue.entry,
                                            &catalogue.localHeaderOffset, nullptr, 0) == ItemOk;
}

void GoToNextEntry(ZipCatalogue& catalogue) {
    if (!catalogue.entryValid || catalogue.entryNumber + 1 == catalogue.entryCount)
        return;
    const CentralEntry& left = catalogue.entry;
    catalogue.entryNumber++;
    catalogue.directoryPosition +=
        kCentralFixedSize + left.nameLength + left.extraLength + left.commentLength;
    catalogue.entryValid = ReadCentralEntry(catalogue, &catalogue.entry,
                                            &catalogue.localHeaderOffset, nullptr, 0) == ItemOk;
}

bool WalkToEntry(ZipCatalogue& catalogue, uint32_t index) {
    if (index >= catalogue.entryCount)
        return false;
    if (index < catalogue.entryNumber)
        GoToFirstEntry(catalogue);
    // A broken record stops the walk: the loop ends because GoToNextEntry cannot move past it.
    while (catalogue.entryValid && catalogue.entryNumber < index)
        GoToNextEntry(catalogue);
    return catalogue.entryValid && catalogue.entryNumber == index;
}

ItemResult CheckLocalHeader(ZipCatalogue& catalogue, LocalHeaderInfo* info) {
    const CentralEntry& central = catalogue.entry;
    MemorySource& source = catalogue.source;
    source.Seek(catalogue.localHeaderOffset + catalogue.bytesBefore);
    uint32_t signature, versionNeeded, flags, method, dosDateTime, crc, compressedSize,
        uncompressedSize, nameLength, extraLength;
    if (!source.ReadU32(&signature))
        return ItemIoError;
    if (signature != kLocalSignature)
        return ItemBadArchive;
    if (!source.ReadU16(&versionNeeded) || !source.ReadU16(&flags) || !source.ReadU16(&method) ||
        !source.ReadU32(&dosDateTime) || !source.ReadU32(&crc) ||
        !source.ReadU32(&compressedSize) || !source.ReadU32(&uncompressedSize) ||
        !source.ReadU16(&nameLength) || !source.ReadU16(&extraLength)) {
        return ItemIoError;
    }
    (void)versionNeeded;
    (void)dosDateTime;
    if (method != central.method || (central.method != 0 && central.method != 8)) {
        return ItemBadArchive;
    }
    const bool hasDescriptor = (flags & 0x8) != 0;
    if (!hasDescriptor && (crc != central.crc32 || compressedSize != central.compressedSize ||
                           uncompressedSize != central.uncompressedSize)) {
        return ItemBadArchive;
    }
    if (nameLength != central.nameLength)
        return ItemBadArchive;

    info->extraOffset = catalogue.localHeaderOffset + kLocalFixedSize + nameLength;
    info->extraLength = extraLength;
    info->nameAndExtraLength = nameLength + extraLength;
    return ItemOk;
}

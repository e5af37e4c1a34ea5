// zip/item_info.h: what a lookup derives from an entry's records: the sanitised name, the
// Windows attribute bits and the three times. Internal to zip/.
#ifndef KESTO_ZIP_ITEM_INFO_H
#define KESTO_ZIP_ITEM_INFO_H

#include <stdint.h>

#include "zip/archive.h"

class FilePort;

// Both count as separators in item names and paths.
inline bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

// Copies name without drive prefixes, leading separators and parent-folder parts, so that the
// result is a relative path that stays below any base folder. out holds 260 bytes; name is
// shorter than that.
void SanitizeItemName(const char* name, char* out);

// FILE_ATTRIBUTE_* bits from the host system (high byte of version made by) and the external
// attributes.
uint32_t ItemAttributes(uint32_t versionMadeBy, uint32_t externalAttributes);

struct ItemTimes {
    FILETIME access;
    FILETIME create;
    FILETIME write;
};

// The DOS date and time as a local FILETIME value; false when the fields are no valid time.
bool DosDateTimeToLocal(uint32_t dosDateTime, uint64_t* local);

// All three times from the DOS date and time (local, turned into UTC by the port; an invalid
// one counts as 1980-01-01 00:00), then those an extended timestamp block in the local extra
// field carries, each only when it lies wholly inside the block and the field.
void ReadItemTimes(uint32_t dosDateTime, const uint8_t* extra, uint32_t extraLength, FilePort& port,
                   ItemTimes* times);

#endif  // KESTO_ZIP_ITEM_INFO_H

// Item names, attributes and times.
#include "zip/item_info.h"

#include <string.h>

#include "zip/catalogue.h"
#include "zip/file_port.h"

namespace {

const uint32_t kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4, kDirectory = 0x10, kArchive = 0x20;
const uint16_t kExtendedTimestampId = 0x5455;  // "UT"
const int64_t kSecondsFrom1601To1970 = 11644473600LL;
const uint32_t kDosEpoch = (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00

bool IsParentPart(const char* p) {
    return p[0] == '.' && p[1] == '.' && (p[2] == '\0' || IsPathSeparator(p[2]));
}

// One sanitising step; null when no rule applies.
const char* SkipUnsafePrefix(const char* p) {
    if (p[0] != '\0' && p[1] == ':')
        return p + 2;  // a drive, whatever its letter
    if (IsPathSeparator(p[0]))
        return p + 1;
    static const char* const kParentParts[] = {"\\..\\", "\\../", "/../", "/..\\"};
    for (const char* part : kParentParts) {
        const char* found = strstr(p, part);
        if (found != nullptr)
            return found + 4;
    }
    // A parent part at the start or the end would lead above the base folder as well.
    if (IsParentPart(p))
        return p[2] == '\0' ? p + 2 : p + 3;
    const size_t length = strlen(p);
    if (length >= 3 && IsPathSeparator(p[length - 3]) && IsParentPart(p + length - 2)) {
        return p + length;
    }
    return nullptr;
}

FILETIME ToFileTime(uint64_t value) {
    FILETIME ft;
    ft.dwLowDateTime = uint32_t(value);
    ft.dwHighDateTime = uint32_t(value >> 32);
    return ft;
}

FILETIME UnixTimeToFileTime(int32_t t) {
    return ToFileTime(uint64_t((int64_t(t) + kSecondsFrom1601To1970) * 10000000));
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

void SanitizeItemName(const char* name, char* out) {
    const char* p = name;
    for (const char* next = SkipUnsafePrefix(p); next != nullptr; next = SkipUnsafePrefix(p)) {
        p = next;
    }
    strcpy(out, p);  // never longer than name
}

uint32_t ItemAttributes(uint32_t versionMadeBy, uint32_t externalAttributes) {
    const uint32_t host = (versionMadeBy >> 8) & 0xff;
    if (host == 0 || host == 7 || host == 11 || host == 14) {
        return externalAttributes & (kReadOnly | kHidden | kSystem | kDirectory | kArchive);
    }
    // A Unix mode in the high 16 bits: the directory type bit and the owner's write bit.
    uint32_t attributes = kArchive;
    if ((externalAttributes & (1u << 30)) != 0)
        attributes |= kDirectory;
    if ((externalAttributes & (1u << 23)) == 0)
        attributes |= kReadOnly;
    return attributes;
}

bool DosDateTimeToLocal(uint32_t dosDateTime, uint64_t* local) {
    const unsigned time = dosDateTime & 0xffff, date = dosDateTime >> 16;
    const unsigned year = 1980 + (date >> 9), month = (date >> 5) & 0xf, day = date & 0x1f;
    const unsigned hour = time >> 11, minute = (time >> 5) & 0x3f, second = 2 * (time & 0x1f);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59) {
        return false;
    }
    const int64_t days = DaysFromCivil(year, month, day);
    const int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    *local = uint64_t((seconds + kSecondsFrom1601To1970) * 10000000);
    return true;
}

void ReadItemTimes(uint32_t dosDateTime, const uint8_t* extra, uint32_t extraLength, FilePort& port,
                   ItemTimes* times) {
    uint64_t local = 0;
    if (!DosDateTimeToLocal(dosDateTime, &local))
        DosDateTimeToLocal(kDosEpoch, &local);
    const FILETIME dos = ToFileTime(port.LocalToUtc(local));
    times->access = times->create = times->write = dos;

    if (extraLength < 5)
        return;
    for (uint32_t p = 0; p + 4 < extraLength;) {
        const uint32_t id = LoadLe16(extra + p);
        const uint32_t size = LoadLe16(extra + p + 2);
        if (id != kExtendedTimestampId) {
            p += 4 + size;
            continue;
        }
        // The block ends at its declared size or at the field's end, whichever comes first.
        const uint32_t end = p + 4 + size < extraLength ? p + 4 + size : extraLength;
        uint32_t q = p + 4;
        if (q >= end)
            return;
        const uint8_t flags = extra[q++];
        FILETIME* targets[] = {&times->write, &times->access, &times->create};
        for (int bit = 0; bit < 3; ++bit) {
            if ((flags & (1 << bit)) == 0)
                continue;
            if (end - q < 4)
                return;  // a time that does not fit is ignored
            *targets[bit] = UnixTimeToFileTime(int32_t(LoadLe32(extra + q)));
            q += 4;
        }
        return;
    }
}

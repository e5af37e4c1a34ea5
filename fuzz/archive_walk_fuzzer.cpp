// Opening an archive and looking up every item: never a read outside the buffer, and every
// name that comes out is safe to put below a folder.
#include <stdint.h>
#include <string.h>

#include "fuzz/fuzz_checks.h"
#include "zip/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ArchiveHandle h = ArchiveOpenFromMemory(data, uint32_t(size));
    if (h == nullptr)
        return 0;
    ZipItem item;
    FUZZ_CHECK(ArchiveGetItem(h, -1, &item) == ArchiveOk);
    const int32_t count = item.index;
    FUZZ_CHECK(count >= 0);
    for (int32_t i = 0; i < count && i < 4096; ++i) {
        if (ArchiveGetItem(h, i, &item) != ArchiveOk)
            continue;
        FUZZ_CHECK(item.index == i);
        const size_t length = strnlen(item.name, sizeof item.name);
        FUZZ_CHECK(length < sizeof item.name);
        FUZZ_CHECK(item.name[0] != '/' && item.name[0] != '\\');
        FUZZ_CHECK(length < 2 || item.name[1] != ':');
        FUZZ_CHECK(!HasParentPart(item.name));
        FUZZ_CHECK((item.attributes & ~uint32_t(0x37)) == 0);
    }
    FUZZ_CHECK(ArchiveGetItem(h, count, &item) == ArchiveBadArgument);
    FUZZ_CHECK(ArchiveGetItem(h, -2, &item) == ArchiveBadArgument);
    FUZZ_CHECK(ArchiveClose(h) == ArchiveOk);
    return 0;
}

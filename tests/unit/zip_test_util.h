// tests/unit/zip_test_util.h: small helpers shared by the zip reader's tests.
#ifndef KESTO_TESTS_ZIP_TEST_UTIL_H
#define KESTO_TESTS_ZIP_TEST_UTIL_H

#include <stdint.h>

#include <string>

#include "zip/archive.h"

inline uint64_t Ticks(const FILETIME& ft) {
    return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

inline uint64_t TicksFromUnix(int64_t seconds) {
    return uint64_t((seconds + 11644473600LL) * 10000000LL);
}

// Owns a handle for a test; the archive bytes must outlive it.
class OpenArchive {
public:
    explicit OpenArchive(const std::string& bytes)
        : h_(ArchiveOpenFromMemory(bytes.data(), uint32_t(bytes.size()))) {}
    ~OpenArchive() {
        if (h_ != nullptr)
            ArchiveClose(h_);
    }
    OpenArchive(const OpenArchive&) = delete;
    OpenArchive& operator=(const OpenArchive&) = delete;
    ArchiveHandle Get() const { return h_; }
    int32_t Count() const {
        ZipItem item;
        return ArchiveGetItem(h_, -1, &item) == ArchiveOk ? item.index : -1;
    }

private:
    ArchiveHandle h_;
};

#endif  // KESTO_TESTS_ZIP_TEST_UTIL_H

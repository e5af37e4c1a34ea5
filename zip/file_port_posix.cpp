// The file port's POSIX backend, with Windows meaning: "\" separates, read-only is the lack of
// write permission (and an existing read-only file is not replaced), local time is the C
// library's.
#include <errno.h>
#include <stdint.h>
#include <fcntl.h>
#include <iconv.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "zip/file_port.h"

namespace {

const uint32_t kReadOnly = 0x1;
const int64_t kUnixEpochIn100ns = 116444736000000000LL;

std::string NativePath(const char* path) {
    std::string p(path);
    for (char& c : p) {
        if (c == '\\')
            c = '/';
    }
    return p;
}

struct timespec ToTimespec(const FILETIME& ft) {
    const int64_t t =
        int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) - kUnixEpochIn100ns;
    struct timespec ts;
    int64_t sec = t / 10000000, rest = t % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --sec;
    }
    ts.tv_sec = time_t(sec);
    ts.tv_nsec = long(rest * 100);
    return ts;
}

// A descriptor travels as the non-null value fd + 1.
FilePort::File ToFile(int fd) {
    return reinterpret_cast<FilePort::File>(intptr_t(fd) + 1);
}
int ToFd(FilePort::File file) {
    return int(reinterpret_cast<intptr_t>(file) - 1);
}

class PosixFilePort final : public FilePort {
public:
    File CreateOutputFile(const char* path, uint32_t attributes) override {
        const std::string p = NativePath(path);
        struct stat st;
        // Root may write anything; Windows still refuses to replace a read-only file.
        if (stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
            return nullptr;
        }
        const mode_t mode = (attributes & kReadOnly) != 0 ? 0444 : 0644;
        int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
        if (fd < 0)
            return nullptr;
        return ToFile(fd);
    }
    bool WriteOutputFile(File file, const void* data, uint32_t size) override {
        const int fd = ToFd(file);
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t n = write(fd, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            size -= uint32_t(n);
        }
        return true;
    }
    bool SetOutputFileTimes(File file, const FILETIME& /*create*/, const FILETIME& access,
                            const FILETIME& write) override {
        struct timespec times[2] = {ToTimespec(access), ToTimespec(write)};
        return futimens(ToFd(file), times) == 0;
    }
    void CloseOutputFile(File file) override { close(ToFd(file)); }
    bool RemoveFile(const char* path) override { return unlink(NativePath(path).c_str()) == 0; }
    bool PathExists(const char* path) override {
        struct stat st;
        return stat(NativePath(path).c_str(), &st) == 0;
    }
    void CreateFolder(const char* path) override { mkdir(NativePath(path).c_str(), 0755); }
    bool GetCurrentFolder(char* buffer, uint32_t size) override {
        return getcwd(buffer, size) != nullptr;
    }
    uint64_t LocalToUtc(uint64_t local) override {
        // Read the local time's fields as if UTC, then let mktime apply the zone.
        const int64_t seconds = int64_t(local / 10000000) - kUnixEpochIn100ns / 10000000;
        const time_t asUtc = time_t(seconds);
        struct tm fields;
        if (gmtime_r(&asUtc, &fields) == nullptr)
            return local;
        fields.tm_isdst = -1;
        const time_t utc = mktime(&fields);
        if (utc == time_t(-1))
            return local;
        return uint64_t((int64_t(utc) * 10000000) + kUnixEpochIn100ns) + local % 10000000;
    }
    bool Utf8ToFileName(const char* utf8, char* out, uint32_t size) override {
        iconv_t converter = iconv_open("GBK", "UTF-8");
        if (converter == iconv_t(-1) || size == 0)
            return false;
        char* in = const_cast<char*>(utf8);
        size_t inLeft = strlen(utf8);
        char* to = out;
        size_t outLeft = size - 1;
        const size_t done = iconv(converter, &in, &inLeft, &to, &outLeft);
        iconv_close(converter);
        if (done == size_t(-1) || inLeft != 0)
            return false;
        *to = '\0';
        return true;
    }
};

}  // namespace

FilePort& DefaultFilePort() {
    static PosixFilePort port;
    return port;
}

// The file port's Win32 backend: the direct ANSI calls.
#include <windows.h>

#include "zip/file_port.h"

namespace {

class Win32FilePort final : public FilePort {
public:
    File CreateOutputFile(const char* path, uint32_t attributes) override {
        // Windows refuses to replace a read-only file, or a hidden or system one when the new
        // attributes lack those bits. Wine running as root replaces them all the same, so the
        // refusal is made here, for the same outcome on both.
        const DWORD existing = GetFileAttributesA(path);
        if (existing != INVALID_FILE_ATTRIBUTES && !(existing & FILE_ATTRIBUTE_DIRECTORY)) {
            const DWORD guarded = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
            if ((existing & FILE_ATTRIBUTE_READONLY) || (existing & guarded & ~attributes) != 0) {
                SetLastError(ERROR_ACCESS_DENIED);
                return nullptr;
            }
        }
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
        return h == INVALID_HANDLE_VALUE ? nullptr : h;
    }
    bool WriteOutputFile(File file, const void* data, uint32_t size) override {
        DWORD written = 0;
        return WriteFile(file, data, size, &written, nullptr) != FALSE;
    }
    bool SetOutputFileTimes(File file, const FILETIME& create, const FILETIME& access,
                            const FILETIME& write) override {
        return SetFileTime(file, &create, &access, &write) != FALSE;
    }
    void CloseOutputFile(File file) override { CloseHandle(file); }
    bool RemoveFile(const char* path) override {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        return DeleteFileA(path) != FALSE;
    }
    bool PathExists(const char* path) override {
        return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    }
    void CreateFolder(const char* path) override { CreateDirectoryA(path, nullptr); }
    bool GetCurrentFolder(char* buffer, uint32_t size) override {
        DWORD n = GetCurrentDirectoryA(size, buffer);
        return n > 0 && n < size;
    }
    uint64_t LocalToUtc(uint64_t local) override {
        FILETIME in, out;
        in.dwLowDateTime = DWORD(local);
        in.dwHighDateTime = DWORD(local >> 32);
        if (!LocalFileTimeToFileTime(&in, &out))
            return local;
        return (uint64_t(out.dwHighDateTime) << 32) | out.dwLowDateTime;
    }
};

}  // namespace

FilePort& DefaultFilePort() {
    static Win32FilePort port;
    return port;
}

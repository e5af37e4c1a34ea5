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
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            DWORD written = 0;
            if (!WriteFile(file, bytes, size, &written, nullptr) || written == 0)
                return false;
            bytes += written;
            size -= written;
        }
        return true;
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
    bool Utf8ToFileName(const char* utf8, char* out, uint32_t size) override {
        wchar_t wide[MAX_PATH];
        if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, MAX_PATH) == 0)
            return false;
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, int(size),
                                          nullptr, &usedDefault);
        return n > 0 && !usedDefault;
    }
};

}  // namespace

FilePort& DefaultFilePort() {
    static Win32FilePort port;
    return port;
}

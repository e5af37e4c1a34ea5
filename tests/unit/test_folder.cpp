// Test folders and file checks for both platforms.
#include "tests/unit/test_folder.h"

#include <stdexcept>
#include <string.h>

#include "tests/unit/embedded_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

std::string Fixture(const char* name) {
    for (const EmbeddedFile* f = kEmbeddedFiles; f->name != nullptr; ++f) {
        if (strcmp(f->name, name) == 0) {
            return std::string(reinterpret_cast<const char*>(f->data), f->size);
        }
    }
    throw std::runtime_error(std::string("no fixture ") + name);
}

char PathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string TestFolder::Join(const std::string& relative) const {
    std::string r = relative;
    for (char& c : r) {
        if (c == '/' || c == '\\')
            c = PathSeparator();
    }
    return path_ + PathSeparator() + r;
}

#ifdef _WIN32

namespace {
void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

// prefix is relative with "/" separators, like the listed paths.
void List(const std::string& root, const std::string& prefix, std::set<std::string>* out) {
    WIN32_FIND_DATAA fd;
    std::string pattern = root + "\\" + prefix + "*";
    for (char& c : pattern) {
        if (c == '/')
            c = '\\';
    }
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out->insert(prefix + name + "/");
            List(root, prefix + name + "/", out);
        } else {
            out->insert(prefix + name);
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}
}  // namespace

TestFolder::TestFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::string(temp) + "kesto-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(counter++);
        if (CreateDirectoryA(path_.c_str(), nullptr))
            break;
    }
}

TestFolder::~TestFolder() {
    RemoveTree(path_);
}

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsReadOnly(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

long long LastWriteUnixTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    const unsigned long long t =
        (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    return static_cast<long long>(t / 10000000ULL) - 11644473600LL;
}

#else

namespace {
void RemoveTree(const std::string& path) {
    DIR* d = opendir(path.c_str());
    if (d != nullptr) {
        while (struct dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "/" + name;
            struct stat st;
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                RemoveTree(child);
            } else {
                unlink(child.c_str());
            }
        }
        closedir(d);
    }
    rmdir(path.c_str());
}

void List(const std::string& root, const std::string& prefix, std::set<std::string>* out) {
    DIR* d = opendir((root + "/" + prefix).c_str());
    if (d == nullptr)
        return;
    while (struct dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (lstat((root + "/" + prefix + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            out->insert(prefix + name + "/");
            List(root, prefix + name + "/", out);
        } else {
            out->insert(prefix + name);
        }
    }
    closedir(d);
}
}  // namespace

TestFolder::TestFolder() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/kesto-test-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TestFolder::~TestFolder() {
    RemoveTree(path_);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsReadOnly(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

long long LastWriteUnixTime(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_mtime) : -1;
}

#endif

std::set<std::string> ListTree(const std::string& root) {
    std::set<std::string> out;
    List(root, "", &out);
    return out;
}

std::string ReadWholeFile(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr)
        throw std::runtime_error("cannot read " + path);
    std::string data;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0)
        data.append(buffer, n);
    fclose(f);
    return data;
}

void WriteWholeFile(const std::string& path, const std::string& data) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        throw std::runtime_error("cannot write " + path);
    fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

// Unpacking a package into a folder: every file and folder the reader creates lies below it,
// and afterwards nothing but that folder exists beside it.
#include <dirent.h>
#include <ftw.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "download/unpack.h"
#include "fuzz/fuzz_checks.h"
#include "zip/file_port.h"

namespace {

std::string g_root;    // a private folder that holds only the target
std::string g_target;  // g_root + "/tarune"

bool IsPrefixOfTarget(const char* path) {
    const size_t n = strlen(path);
    return n <= g_target.size() && g_target.compare(0, n, path) == 0;
}

void CheckBelowTarget(const char* path) {
    if (IsPrefixOfTarget(path))
        return;  // the levels of the target itself
    FUZZ_CHECK(strncmp(path, g_target.c_str(), g_target.size()) == 0);
    const char* rest = path + g_target.size();
    FUZZ_CHECK(*rest == '/' || *rest == '\\');
    FUZZ_CHECK(!HasParentPart(rest));
    FUZZ_CHECK(strchr(rest, ':') == nullptr);
    // Windows would drop a component's trailing dot or space and write elsewhere.
    for (const char* p = rest + 1; *p != '\0'; ++p) {
        const bool endOfPart = p[1] == '\0' || p[1] == '/' || p[1] == '\\';
        FUZZ_CHECK(!endOfPart || (*p != '.' && *p != ' '));
    }
}

// The platform's port, with every path checked before it is used.
class CheckingPort final : public FilePort {
public:
    File CreateOutputFile(const char* path, uint32_t attributes) override {
        CheckBelowTarget(path);
        FUZZ_CHECK(!IsPrefixOfTarget(path));
        return DefaultFilePort().CreateOutputFile(path, attributes);
    }
    bool WriteOutputFile(File file, const void* data, uint32_t size) override {
        return DefaultFilePort().WriteOutputFile(file, data, size);
    }
    bool SetOutputFileTimes(File file, const FILETIME& create, const FILETIME& access,
                            const FILETIME& write) override {
        return DefaultFilePort().SetOutputFileTimes(file, create, access, write);
    }
    void CloseOutputFile(File file) override { DefaultFilePort().CloseOutputFile(file); }
    bool RemoveFile(const char* path) override {
        CheckBelowTarget(path);
        return DefaultFilePort().RemoveFile(path);
    }
    bool PathExists(const char* path) override { return DefaultFilePort().PathExists(path); }
    void CreateFolder(const char* path) override {
        CheckBelowTarget(path);
        DefaultFilePort().CreateFolder(path);
    }
    bool GetCurrentFolder(char* buffer, uint32_t size) override {
        return DefaultFilePort().GetCurrentFolder(buffer, size);
    }
    uint64_t LocalToUtc(uint64_t local) override { return DefaultFilePort().LocalToUtc(local); }
    bool Utf8ToFileName(const char* utf8, char* out, uint32_t size) override {
        return DefaultFilePort().Utf8ToFileName(utf8, out, size);
    }
};

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    chmod(path, 0755);  // read-only items come out without write permission
    return remove(path);
}

void RemoveTarget() {
    nftw(g_target.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// The root holds the target and nothing else.
void CheckRootHoldsOnlyTarget() {
    DIR* dir = opendir(g_root.c_str());
    FUZZ_CHECK(dir != nullptr);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        FUZZ_CHECK(name == "." || name == ".." || name == "tarune");
    }
    closedir(dir);
}

void Prepare() {
    if (!g_root.empty())
        return;
    const char* tmp = getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kesto-unpack-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(&pattern[0]) != nullptr);
    g_root = pattern;
    g_target = g_root + "/tarune";
    static CheckingPort port;
    SetFilePort(&port);
    atexit([] {
        RemoveTarget();
        rmdir(g_root.c_str());
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Prepare();
    FUZZ_CHECK(mkdir(g_target.c_str(), 0755) == 0);
    try {
        UnpackPackage(data, uint32_t(size), g_target.c_str());
    } catch (const std::bad_alloc&) {
        // A nested buffer that cannot be had ends the unpacking; the caller reports it.
    }
    CheckRootHoldsOnlyTarget();
    RemoveTarget();
    return 0;
}

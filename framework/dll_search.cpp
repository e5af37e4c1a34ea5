// Where the process looks for DLLs: the system folder only. A program started from a download
// folder with administrator rights would otherwise load any DLL of a name it asks for that
// lies beside it. Runs before every other static constructor, since some of those (and every
// delay-loaded import) load DLLs.
#include <windows.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

__attribute__((constructor(101))) void RestrictDllSearch() {
    // Looked up: Windows 7 has it only with update KB2533623.
    const SetDefaultDllDirectoriesFn setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryA("");  // at least the current folder is out
    }
}

}  // namespace

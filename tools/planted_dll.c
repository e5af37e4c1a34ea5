/* planted_dll: a DLL of a name the program loads, put beside it in the end-to-end test of the
 * DLL search. Once loaded it leaves "<its file name>.loaded" beside itself and refuses the
 * load, so that a run which took it both shows that and does not go on with it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH + 8];
    const DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return FALSE;
    lstrcatA(path, ".loaded");
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return FALSE;
}

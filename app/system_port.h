// app/system_port.h: the system calls of start-up and the run sequence, behind one interface
// so that tests can drive every branch. Each method has the Win32 call's name, arguments and
// result; the default port makes the call itself.
#ifndef KESTO_APP_SYSTEM_PORT_H
#define KESTO_APP_SYSTEM_PORT_H

// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <gdiplus.h>
// clang-format on

#include "framework/thread.h"

class SystemPort {
public:
    virtual ~SystemPort() = default;

    // Administrators membership.
    virtual BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count,
                                          DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3,
                                          DWORD sub4, DWORD sub5, DWORD sub6, DWORD sub7,
                                          PSID* sid);
    virtual BOOL CheckTokenMembership(HANDLE token, PSID sid, PBOOL isMember);
    virtual PVOID FreeSid(PSID sid);

    // Processes and windows.
    virtual DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size);
    virtual BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);
    virtual HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
    virtual BOOL IsIconic(HWND hwnd);
    virtual BOOL ShowWindow(HWND hwnd, int command);
    virtual BOOL SetForegroundWindow(HWND hwnd);
    virtual HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
    virtual BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry);
    virtual BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry);
    virtual BOOL CloseHandle(HANDLE handle);

    // The run sequence.
    virtual DWORD GetTempPathA(DWORD length, LPSTR buffer);
    virtual CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority,
                                       UINT stackSize, DWORD flags, LPSECURITY_ATTRIBUTES security);
    virtual BOOL TerminateThread(HANDLE thread, DWORD exitCode);

    // The user and the graphics library.
    virtual int AfxMessageBox(const char* text, UINT type);
    virtual Gdiplus::Status GdiplusStartup(ULONG_PTR* token,
                                           const Gdiplus::GdiplusStartupInput* input,
                                           Gdiplus::GdiplusStartupOutput* output);
    virtual void GdiplusShutdown(ULONG_PTR token);
};

SystemPort& CurrentSystemPort();
// Replaces the port (null restores the default); returns the previous one.
SystemPort* SetSystemPort(SystemPort* port);

#endif  // KESTO_APP_SYSTEM_PORT_H

#include "app/system_port.h"

#include "framework/app.h"

namespace {
SystemPort g_defaultPort;
SystemPort* g_port = &g_defaultPort;
}  // namespace

SystemPort& CurrentSystemPort() {
    return *g_port;
}

SystemPort* SetSystemPort(SystemPort* port) {
    SystemPort* previous = g_port;
    g_port = port != nullptr ? port : &g_defaultPort;
    return previous;
}

BOOL SystemPort::AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count,
                                          DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3,
                                          DWORD sub4, DWORD sub5, DWORD sub6, DWORD sub7,
                                          PSID* sid) {
    return ::AllocateAndInitializeSid(authority, count, sub0, sub1, sub2, sub3, sub4, sub5, sub6,
                                      sub7, sid);
}
BOOL SystemPort::CheckTokenMembership(HANDLE token, PSID sid, PBOOL isMember) {
    return ::CheckTokenMembership(token, sid, isMember);
}
PVOID SystemPort::FreeSid(PSID sid) {
    return ::FreeSid(sid);
}
DWORD SystemPort::GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size) {
    return ::GetModuleFileNameA(module, path, size);
}
BOOL SystemPort::ShellExecuteExA(SHELLEXECUTEINFOA* info) {
    return ::ShellExecuteExA(info);
}
HWND SystemPort::FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    return ::FindWindowW(className, windowName);
}
BOOL SystemPort::IsIconic(HWND hwnd) {
    return ::IsIconic(hwnd);
}
BOOL SystemPort::ShowWindow(HWND hwnd, int command) {
    return ::ShowWindow(hwnd, command);
}
BOOL SystemPort::SetForegroundWindow(HWND hwnd) {
    return ::SetForegroundWindow(hwnd);
}
HANDLE SystemPort::CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    return ::CreateToolhelp32Snapshot(flags, processId);
}
BOOL SystemPort::Process32First(HANDLE snapshot, PROCESSENTRY32* entry) {
    return ::Process32First(snapshot, entry);
}
BOOL SystemPort::Process32Next(HANDLE snapshot, PROCESSENTRY32* entry) {
    return ::Process32Next(snapshot, entry);
}
BOOL SystemPort::CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}
DWORD SystemPort::GetTempPathA(DWORD length, LPSTR buffer) {
    return ::GetTempPathA(length, buffer);
}
CWinThread* SystemPort::AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority,
                                       UINT stackSize, DWORD flags,
                                       LPSECURITY_ATTRIBUTES security) {
    return ::AfxBeginThread(proc, param, priority, stackSize, flags, security);
}
BOOL SystemPort::TerminateThread(HANDLE thread, DWORD exitCode) {
    return ::TerminateThread(thread, exitCode);
}
int SystemPort::AfxMessageBox(const char* text, UINT type) {
    return ::AfxMessageBox(text, type);
}
Gdiplus::Status SystemPort::GdiplusStartup(ULONG_PTR* token,
                                           const Gdiplus::GdiplusStartupInput* input,
                                           Gdiplus::GdiplusStartupOutput* output) {
    return Gdiplus::GdiplusStartup(token, input, output);
}
void SystemPort::GdiplusShutdown(ULONG_PTR token) {
    Gdiplus::GdiplusShutdown(token);
}

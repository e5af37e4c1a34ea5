// Polls a condition with a bound, for what another thread or process brings about.
#ifndef KESTO_TESTS_WIN_FRAMEWORK_WAIT_FOR_H
#define KESTO_TESTS_WIN_FRAMEWORK_WAIT_FOR_H

#include <windows.h>

template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs = 10000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > end)
            return false;
        Sleep(5);
    }
    return true;
}

#endif  // KESTO_TESTS_WIN_FRAMEWORK_WAIT_FOR_H

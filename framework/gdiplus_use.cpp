#include "framework/gdiplus_use.h"

namespace {
SRWLOCK g_lock = SRWLOCK_INIT;
bool g_bOpen = true;  // written only under the exclusive lock
}  // namespace

CGdiplusUse::CGdiplusUse() {
    AcquireSRWLockShared(&g_lock);
    m_bOpen = g_bOpen;
}

CGdiplusUse::~CGdiplusUse() {
    ReleaseSRWLockShared(&g_lock);
}

void OpenGdiplusUse() {
    AcquireSRWLockExclusive(&g_lock);
    g_bOpen = true;
    ReleaseSRWLockExclusive(&g_lock);
}

void CloseGdiplusUse() {
    AcquireSRWLockExclusive(&g_lock);
    g_bOpen = false;
    ReleaseSRWLockExclusive(&g_lock);
}

bool TryCloseGdiplusUse() {
    if (!TryAcquireSRWLockExclusive(&g_lock))
        return false;
    g_bOpen = false;
    ReleaseSRWLockExclusive(&g_lock);
    return true;
}

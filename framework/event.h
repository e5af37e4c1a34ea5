// framework/event.h: CEvent, a Win32 event object owned by the instance.
#ifndef KESTO_FRAMEWORK_EVENT_H
#define KESTO_FRAMEWORK_EVENT_H

#include <windows.h>

#include "framework/scoped_handle.h"

class CEvent {
public:
    // Auto-reset and not signalled unless asked otherwise, as the framework's default.
    explicit CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE,
                    const char* name = nullptr, LPSECURITY_ATTRIBUTES attributes = nullptr)
        : m_event(CreateEventA(attributes, bManualReset, bInitiallyOwn, name)) {}
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    BOOL SetEvent() { return ::SetEvent(m_event.Get()); }
    BOOL ResetEvent() { return ::ResetEvent(m_event.Get()); }
    HANDLE GetHandle() const { return m_event.Get(); }
    operator HANDLE() const { return m_event.Get(); }

private:
    ScopedKernelHandle m_event;
};

#endif  // KESTO_FRAMEWORK_EVENT_H

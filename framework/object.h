// framework/object.h: the roots of the class tree. CObject with creation by runtime class
// (DECLARE_DYNCREATE / IMPLEMENT_DYNCREATE / RUNTIME_CLASS), CCmdTarget with its message
// map, and the message-map macros and crackers: each map compiles into one OnWndMsg function
// per class that ends by chaining to the base class's map.
#ifndef KESTO_FRAMEWORK_OBJECT_H
#define KESTO_FRAMEWORK_OBJECT_H

#include <windows.h>
#include <windowsx.h>

class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    CObject* (*m_pfnCreateObject)();
    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const { return nullptr; }

protected:
    CObject() = default;
};

#define DECLARE_DYNCREATE(theClass)             \
public:                                         \
    static const CRuntimeClass class##theClass; \
    static CObject* CreateObject();             \
    const CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNCREATE(theClass, baseClass)                                          \
    CObject* theClass::CreateObject() {                                                   \
        return new theClass;                                                              \
    }                                                                                     \
    const CRuntimeClass theClass::class##theClass = {#theClass, &theClass::CreateObject}; \
    const CRuntimeClass* theClass::GetRuntimeClass() const {                              \
        return &class##theClass;                                                          \
    }

#define RUNTIME_CLASS(theClass) (&theClass::class##theClass)

struct CPoint : POINT {
    CPoint() : POINT{0, 0} {}
    CPoint(int px, int py) : POINT{px, py} {}
    explicit CPoint(LPARAM lParam) : POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)} {}
};

class CCmdTarget : public CObject {
public:
    // The message map: TRUE when the message was handled, with its result in *pResult.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
        (void)message;
        (void)wParam;
        (void)lParam;
        (void)pResult;
        return FALSE;
    }
};

#define DECLARE_MESSAGE_MAP() \
public:                       \
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                              \
    BOOL theClass::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) { \
        typedef baseClass TheBaseClass;                                                     \
        (void)wParam;                                                                       \
        (void)lParam;

#define END_MESSAGE_MAP()                                            \
    return TheBaseClass::OnWndMsg(message, wParam, lParam, pResult); \
    }

// void OnPaint()
#define ON_WM_PAINT()          \
    if (message == WM_PAINT) { \
        OnPaint();             \
        *pResult = 0;          \
        return TRUE;           \
    }
// BOOL OnEraseBkgnd(HDC hdc)
#define ON_WM_ERASEBKGND()                                      \
    if (message == WM_ERASEBKGND) {                             \
        *pResult = OnEraseBkgnd(reinterpret_cast<HDC>(wParam)); \
        return TRUE;                                            \
    }
// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                    \
    if (message == WM_QUERYDRAGICON) {                           \
        *pResult = reinterpret_cast<LRESULT>(OnQueryDragIcon()); \
        return TRUE;                                             \
    }
// void OnSize(UINT nType, int cx, int cy)
#define ON_WM_SIZE()                                                       \
    if (message == WM_SIZE) {                                              \
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); \
        *pResult = 0;                                                      \
        return TRUE;                                                       \
    }
// void OnMouseMove(UINT nFlags, CPoint point)
#define ON_WM_MOUSEMOVE()                                       \
    if (message == WM_MOUSEMOVE) {                              \
        OnMouseMove(static_cast<UINT>(wParam), CPoint(lParam)); \
        *pResult = 0;                                           \
        return TRUE;                                            \
    }
// void OnMouseLeave()
#define ON_WM_MOUSELEAVE()          \
    if (message == WM_MOUSELEAVE) { \
        OnMouseLeave();             \
        *pResult = 0;               \
        return TRUE;                \
    }
// void OnLButtonDown(UINT nFlags, CPoint point)
#define ON_WM_LBUTTONDOWN()                                       \
    if (message == WM_LBUTTONDOWN) {                              \
        OnLButtonDown(static_cast<UINT>(wParam), CPoint(lParam)); \
        *pResult = 0;                                             \
        return TRUE;                                              \
    }
// void OnLButtonUp(UINT nFlags, CPoint point)
#define ON_WM_LBUTTONUP()                                       \
    if (message == WM_LBUTTONUP) {                              \
        OnLButtonUp(static_cast<UINT>(wParam), CPoint(lParam)); \
        *pResult = 0;                                           \
        return TRUE;                                            \
    }
// LRESULT memberFxn(WPARAM wParam, LPARAM lParam)
#define ON_MESSAGE(msg, memberFxn)                       \
    if (message == (msg)) {                              \
        *pResult = (this->*(memberFxn))(wParam, lParam); \
        return TRUE;                                     \
    }
// void memberFxn(), for WM_COMMAND with the given command ID
#define ON_COMMAND(id, memberFxn)                          \
    if (message == WM_COMMAND && LOWORD(wParam) == (id)) { \
        (this->*(memberFxn))();                            \
        *pResult = 0;                                      \
        return TRUE;                                       \
    }

#endif  // KESTO_FRAMEWORK_OBJECT_H

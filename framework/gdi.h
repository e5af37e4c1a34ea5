// framework/gdi.h: device contexts and GDI objects.
//   CDC        owns a DC it created (CreateCompatibleDC) or was given (Attach); DeleteDC.
//   CPaintDC   BeginPaint/EndPaint of a window; owns nothing.
//   CClientDC  GetDC/ReleaseDC of a window.
//   CBitmap    owns an HBITMAP.
//   CSelectObject selects an object into a DC and the previous one back when it goes.
#ifndef KESTO_FRAMEWORK_GDI_H
#define KESTO_FRAMEWORK_GDI_H

#include <windows.h>

#include "framework/scoped_handle.h"

class CWnd;

class CDC {
public:
    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    BOOL CreateCompatibleDC(HDC hdc) { return Attach(::CreateCompatibleDC(hdc)); }
    BOOL Attach(HDC hdc) {
        if (hdc == nullptr)
            return FALSE;
        m_dc.Reset(hdc);
        m_hDC = hdc;
        return TRUE;
    }
    HDC Detach() {
        m_hDC = nullptr;
        return m_dc.Detach();
    }
    BOOL DeleteDC() {
        const BOOL had = m_dc.IsValid();
        m_dc.Close();
        m_hDC = nullptr;
        return had;
    }
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // The frame's four edges, one pixel wide; the DC's background colour is left as it was.
    void Draw3dRect(const RECT* lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);

    HDC m_hDC = nullptr;

private:
    ScopedCreatedDc m_dc;
};

class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    operator HDC() const { return m_hDC; }

    HDC m_hDC;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

class CClientDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC();
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    operator HDC() const { return m_hDC; }

    HDC m_hDC;

private:
    HWND m_hWnd;
};

class CBitmap {
public:
    CBitmap() = default;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    BOOL CreateCompatibleBitmap(HDC hdc, int nWidth, int nHeight) {
        return Attach(::CreateCompatibleBitmap(hdc, nWidth, nHeight));
    }
    BOOL Attach(HBITMAP hBitmap) {
        if (hBitmap == nullptr)
            return FALSE;
        m_bitmap.Reset(hBitmap);
        return TRUE;
    }
    HBITMAP Detach() { return m_bitmap.Detach(); }
    BOOL DeleteObject() {
        const BOOL had = m_bitmap.IsValid();
        m_bitmap.Close();
        return had;
    }
    int GetBitmap(BITMAP* pBitMap) const {
        return m_bitmap.IsValid() ? GetObjectA(m_bitmap.Get(), sizeof(BITMAP), pBitMap) : 0;
    }
    HBITMAP GetSafeHandle() const { return m_bitmap.Get(); }
    operator HBITMAP() const { return m_bitmap.Get(); }

private:
    ScopedBitmap m_bitmap;
};

class CSelectObject {
public:
    CSelectObject(HDC hdc, HGDIOBJ object) : m_hdc(hdc), m_previous(::SelectObject(hdc, object)) {}
    ~CSelectObject() {
        if (m_previous != nullptr && m_previous != HGDI_ERROR)
            ::SelectObject(m_hdc, m_previous);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hdc;
    HGDIOBJ m_previous;
};

#endif  // KESTO_FRAMEWORK_GDI_H

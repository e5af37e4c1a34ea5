#include "ui/progress_dialog.h"

#include <cstring>
#include <string>

#include "framework/screen_text.h"
#include "ui/draw_fun.h"

std::atomic<bool> g_bUserCancelled{false};

namespace {

const int kWidth = 570;
const int kHeight = 184;
const COLORREF kBackground = RGB(58, 64, 77);
const char kTitle[] = "岫澜汇";

HFONT CreateDialogFont(int height) {
    return CreateFontA(height, 0, 0, 0, 500, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       "microsoft yahei");
}

}  // namespace

BEGIN_MESSAGE_MAP(CKestoQuickSetupDlg, CDialogEx)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_MOUSEMOVE()
ON_WM_MOUSELEAVE()
ON_WM_SIZE()
ON_WM_LBUTTONUP()
ON_WM_LBUTTONDOWN()
ON_MESSAGE(WM_PROGRESS_NOTICE, &CKestoQuickSetupDlg::OnProgressNotice)
ON_MESSAGE(WM_SETTEXT, &CKestoQuickSetupDlg::OnSetText)
END_MESSAGE_MAP()

CKestoQuickSetupDlg::CKestoQuickSetupDlg(CWnd* pParent)
    : CDialogEx(IDD, pParent),
      m_hIcon(static_cast<HICON>(LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_SMALL),
                                            IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR))),
      m_strStatus("下载引擎初使化中......"),
      m_hTitleFont(CreateDialogFont(-14)),
      m_hStatusFont(CreateDialogFont(-18)) {}

CKestoQuickSetupDlg::~CKestoQuickSetupDlg() {
    // The window goes first, while the shadow it hooks is still whole: its WM_DESTROY
    // destroys the shadow window and its WM_NCDESTROY forgets the parent.
    if (m_hWnd != nullptr)
        DestroyWindow();
    DeleteObject(m_hTitleFont);
    DeleteObject(m_hStatusFont);
    m_hTitleFont = nullptr;
    m_hStatusFont = nullptr;
    if (m_hIcon != nullptr)
        DestroyIcon(m_hIcon);
}

BOOL CKestoQuickSetupDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    ModifyStyle(WS_CAPTION | WS_THICKFRAME | DS_MODALFRAME, 0, SWP_FRAMECHANGED);
    SetWindowLongA(m_hWnd, GWL_STYLE, GetWindowLongA(m_hWnd, GWL_STYLE) | WS_CLIPCHILDREN);
    m_wndShadow.AttachToParent(m_hWnd);
    m_wndShadow.SetShadowOffset(0, 0);
    m_wndShadow.SetShadowSpread(4);
    m_wndShadow.SetShadowColor(RGB(69, 69, 69));
    m_wndShadow.SetShadowSoftness(5);
    MoveWindow(0, 0, kWidth, kHeight, TRUE);
    CenterWindow();

    const RECT empty = {0, 0, 0, 0};
    m_progressBar.Create("", WS_CHILD, empty, this, 0);
    m_progressBar.SetRange(1, 100);
    m_progressBar.SetBarStyle(2);
    KESTODRAWFUN::LoadPngResource(&m_progressBar.m_pImage);
    m_progressBar.SetShowText(FALSE);
    m_progressBar.SetProgress(0);

    RECT client;
    GetClientRect(&client);
    if (m_progressBar.m_hWnd != nullptr && IsWindow(m_progressBar.m_hWnd)) {
        m_progressBar.MoveWindow(client.left + 37, client.bottom - 70, 495, 2, FALSE);
        m_progressBar.ShowWindow(SW_SHOW);
    }
    return TRUE;
}

void CKestoQuickSetupDlg::OnSize(UINT nType, int cx, int cy) {
    CDialogEx::OnSize(nType, cx, cy);
    if (cx > 0 && cy > 0)
        LayoutRects();
}

void CKestoQuickSetupDlg::LayoutRects() {
    GetClientRect(&m_rcClient);
    m_rcClose = {m_rcClient.right - 29, m_rcClient.top + 14, m_rcClient.right - 17,
                 m_rcClient.top + 26};
    m_rcDrag = {0, 0, m_rcClient.right - m_rcClient.left, m_rcClient.bottom - m_rcClient.top};
    m_rcStatus = {185, 74, 445, 92};
}

void CKestoQuickSetupDlg::OnPaint() {
    CPaintDC paint(this);
    PaintToBuffer(paint);
}

void CKestoQuickSetupDlg::PaintToBuffer(HDC paint) {
    const int width = m_rcClient.right - m_rcClient.left;
    const int height = m_rcClient.bottom - m_rcClient.top;
    if (m_backDC.m_hDC == nullptr)
        m_backDC.CreateCompatibleDC(paint);
    if (m_backBitmap.GetSafeHandle() == nullptr)
        m_backBitmap.CreateCompatibleBitmap(paint, width, height);
    CSelectObject buffer(m_backDC, m_backBitmap);
    const int oldMode = SetBkMode(m_backDC, TRANSPARENT);

    const COLORREF oldBk = SetBkColor(m_backDC, kBackground);
    ExtTextOutA(m_backDC, 0, 0, ETO_OPAQUE, &m_rcClient, nullptr, 0, nullptr);
    SetBkColor(m_backDC, oldBk);
    DrawCloseButton(m_backDC);
    DrawIconEx(m_backDC, 22, 22, m_hIcon, 16, 16, 0, nullptr, DI_NORMAL);
    RECT title = {47, 21, 167, 37};
    KESTODRAWFUN::DrawColorText(m_backDC, kTitle, static_cast<int>(std::strlen(kTitle)), &title,
                                DT_SINGLELINE | DT_VCENTER, m_hTitleFont, RGB(156, 167, 184));
    KESTODRAWFUN::DrawColorText(m_backDC, m_strStatus, m_strStatus.GetLength(), &m_rcStatus,
                                DT_SINGLELINE | DT_VCENTER, m_hStatusFont, RGB(255, 255, 255));

    SetBkMode(m_backDC, oldMode);
    BitBlt(paint, 0, 0, width, height, m_backDC, 0, 0, SRCCOPY);
}

void CKestoQuickSetupDlg::DrawCloseButton(HDC dc) {
    ScopedPen pen(CreatePen(PS_SOLID, 2, RGB(146, 155, 169)));
    CSelectObject select(dc, pen.Get());
    MoveToEx(dc, m_rcClose.left, m_rcClose.top, nullptr);
    LineTo(dc, m_rcClose.right, m_rcClose.bottom);
    MoveToEx(dc, m_rcClose.right, m_rcClose.top, nullptr);
    LineTo(dc, m_rcClose.left, m_rcClose.bottom);
}

HCURSOR CKestoQuickSetupDlg::OnQueryDragIcon() {
    return m_hIcon;
}

void CKestoQuickSetupDlg::OnLButtonDown(UINT nFlags, CPoint point) {
    CDialogEx::OnLButtonDown(nFlags, point);
    if (PtInRect(&m_rcDrag, point)) {
        m_nPressX = point.x;
        m_nPressY = point.y;
        GetWindowRect(&m_rcWindowAtPress);
    }
}

void CKestoQuickSetupDlg::OnMouseMove(UINT nFlags, CPoint point) {
    TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, m_hWnd, 0};
    TrackMouseEvent(&track);
    // A press on the top row or the left column (0) starts no drag.
    if (m_nPressX > 0 && m_nPressY > 0) {
        MoveWindow(m_rcWindowAtPress.left + point.x - m_nPressX,
                   m_rcWindowAtPress.top + point.y - m_nPressY, kWidth, kHeight, TRUE);
    }
    GetWindowRect(&m_rcWindowAtPress);
    CDialogEx::OnMouseMove(nFlags, point);
}

void CKestoQuickSetupDlg::OnMouseLeave() {
    m_nPressX = 0;
    m_nPressY = 0;
    CDialogEx::OnMouseLeave();
    InvalidateRect(nullptr, FALSE);
    UpdateWindow();
}

void CKestoQuickSetupDlg::OnLButtonUp(UINT nFlags, CPoint point) {
    CDialogEx::OnLButtonUp(nFlags, point);
    m_nPressX = 0;
    m_nPressY = 0;
    if (PtInRect(&m_rcClose, point)) {
        g_bUserCancelled = true;
        ::SendMessageA(m_hWnd, WM_CLOSE, 0, 0);
    }
}

LRESULT CKestoQuickSetupDlg::OnSetText(WPARAM, LPARAM lParam) {
    const char* text = reinterpret_cast<const char*>(lParam);
    const std::wstring wide = GbkToWide(text);
    return DefWindowProcW(m_hWnd, WM_SETTEXT, 0,
                          text != nullptr ? reinterpret_cast<LPARAM>(wide.c_str()) : 0);
}

LRESULT CKestoQuickSetupDlg::OnProgressNotice(WPARAM, LPARAM lParam) {
    const ProgressNotice* notice = reinterpret_cast<const ProgressNotice*>(lParam);
    if (notice == nullptr)
        return 0;
    if (static_cast<uint32_t>(notice->nPercent) > 100)
        return 0;
    m_progressBar.SetProgress(notice->nPercent);
    // The text up to its first zero byte, never beyond the record.
    m_strStatus =
        CString(notice->szText, static_cast<int>(strnlen(notice->szText, sizeof(notice->szText))));
    InvalidateRect(&m_rcStatus, FALSE);
    return 0;
}

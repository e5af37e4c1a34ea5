// ui/progress_dialog.h: CKestoQuickSetupDlg, the borderless 570 x 184 progress dialog. It
// paints itself through a back buffer (background, icon, title, close cross, status line),
// hosts the progress bar, casts a drop shadow, can be dragged anywhere, takes progress
// notices, and on its close cross sets g_bUserCancelled and closes, which only hides it.
#ifndef KESTO_UI_PROGRESS_DIALOG_H
#define KESTO_UI_PROGRESS_DIALOG_H

#include "framework/afxwin.h"
#include "res/resource.h"
#include "shadow/wnd_shadow.h"
#include "ui/progress_ctrl.h"
#include "ui/progress_notice.h"

class CKestoQuickSetupDlg : public CDialogEx {
public:
    enum { IDD = IDD_KESTOQUICKSETUP_DIALOG };

    explicit CKestoQuickSetupDlg(CWnd* pParent = nullptr);
    ~CKestoQuickSetupDlg() override;

    BOOL OnInitDialog() override;

    HICON m_hIcon;
    CWndShadow m_wndShadow;
    RECT m_rcClient = {0, 0, 0, 0};
    RECT m_rcClose = {0, 0, 0, 0};
    RECT m_rcDrag = {0, 0, 0, 0};
    RECT m_rcWindowAtPress = {0, 0, 0, 0};
    int m_nPressX = 0;
    int m_nPressY = 0;
    CDC m_backDC;
    CBitmap m_backBitmap;
    CKestoProgressCtrl m_progressBar;
    CString m_strStatus;
    RECT m_rcStatus = {0, 0, 0, 0};
    HFONT m_hTitleFont;
    HFONT m_hStatusFont;

    DECLARE_MESSAGE_MAP()

protected:
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnMouseLeave();
    void OnSize(UINT nType, int cx, int cy);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    LRESULT OnProgressNotice(WPARAM wParam, LPARAM lParam);
    // The window text arrives as GBK bytes (the worker's title) and is kept as UTF-16, so
    // the taskbar and a second copy's search read it right whatever the system's code page:
    // an ANSI window would keep it in that code page, which has no Chinese outside 936.
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);

private:
    void LayoutRects();
    void PaintToBuffer(HDC paint);
    void DrawCloseButton(HDC dc);
};

#endif  // KESTO_UI_PROGRESS_DIALOG_H

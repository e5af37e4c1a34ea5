// framework/dialog.h: CDialog and CDialogEx, modeless dialogs from a template resource.
// WM_INITDIALOG reaches OnInitDialog; the OK and Cancel commands (Enter, Esc, and WM_CLOSE,
// which the dialog manager turns into Cancel) end the dialog, and ending a modeless dialog
// only hides its window.
#ifndef KESTO_FRAMEWORK_DIALOG_H
#define KESTO_FRAMEWORK_DIALOG_H

#include "framework/wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
        : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

    // Creates the window from the template. Without a parent the calling thread's main
    // window, if it has one, becomes the owner.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

    BOOL PreTranslateMessage(MSG* pMsg) override;

    DECLARE_MESSAGE_MAP()

protected:
    UINT m_nIDHelp;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
};

class CDialogEx : public CDialog {
public:
    explicit CDialogEx(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
        : CDialog(nIDTemplate, pParentWnd) {}
};

#endif  // KESTO_FRAMEWORK_DIALOG_H

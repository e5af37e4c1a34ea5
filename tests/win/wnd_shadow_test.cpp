// The shadow window on a real parent: creation, following the parent, deferred renders,
// suppression and teardown. Renders are counted through the layered-window entry point.
#include <gtest/gtest.h>

#include "shadow/wnd_shadow.h"

namespace {

const char kParentClass[] = "KestoShadowParent";

int g_renders = 0;
CWndShadow::UpdateLayeredWindowFn g_realUpdate = nullptr;
BOOL g_composition = FALSE;

BOOL WINAPI CountingUpdate(HWND hwnd, HDC dst, POINT* position, SIZE* size, HDC src, POINT* origin,
                           COLORREF key, BLENDFUNCTION* blend, DWORD flags) {
    ++g_renders;
    return g_realUpdate(hwnd, dst, position, size, src, origin, key, blend, flags);
}

HRESULT WINAPI FakeComposition(BOOL* enabled) {
    *enabled = g_composition;
    return S_OK;
}

class ShadowWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CWndShadow::RegisterShadowClass(GetModuleHandleA(nullptr));
        g_realUpdate = CWndShadow::s_pfnUpdateLayered;
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kParentClass;
        RegisterClassA(&wc);
    }
    void SetUp() override {
        ASSERT_NE(g_realUpdate, nullptr);
        CWndShadow::s_pfnUpdateLayered = &CountingUpdate;
        savedComposition_ = CWndShadow::s_pfnDwmCompositionEnabled;
        CWndShadow::s_pfnDwmCompositionEnabled = &FakeComposition;
        g_composition = FALSE;
        g_renders = 0;
    }
    void TearDown() override {
        if (IsWindow(parent_))
            DestroyWindow(parent_);
        CWndShadow::s_pfnUpdateLayered = g_realUpdate;
        CWndShadow::s_pfnDwmCompositionEnabled = savedComposition_;
    }

    // A visible popup like the dialog after it lost its frame, with the dialog's shadow.
    void Attach(DWORD style = WS_POPUP | WS_VISIBLE) {
        parent_ = CreateWindowExA(0, kParentClass, "parent", style, 200, 150, 570, 184, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        shadow_.AttachToParent(parent_);
        shadow_.SetShadowOffset(0, 0);
        shadow_.SetShadowSpread(4);
        shadow_.SetShadowColor(RGB(69, 69, 69));
        shadow_.SetShadowSoftness(5);
    }
    RECT ShadowRect() const {
        RECT r = {};
        GetWindowRect(shadow_.m_hShadowWnd, &r);
        return r;
    }
    bool ShadowVisible() const { return IsWindowVisible(shadow_.m_hShadowWnd) != FALSE; }

    HWND parent_ = nullptr;
    CWndShadow shadow_;
    CWndShadow::DwmIsCompositionEnabledFn savedComposition_ = nullptr;
};

TEST_F(ShadowWindowTest, AttachCreatesAnOwnedClickThroughLayeredWindowAroundTheParent) {
    Attach();
    HWND shadow = shadow_.m_hShadowWnd;
    ASSERT_TRUE(IsWindow(shadow));
    char cls[32] = {};
    GetClassNameA(shadow, cls, sizeof(cls));
    EXPECT_STREQ(cls, "CorvoShadowWnd");
    const LONG ex = GetWindowLongA(shadow, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_LAYERED);
    EXPECT_TRUE(ex & WS_EX_TRANSPARENT);
    EXPECT_EQ(GetWindow(shadow, GW_OWNER), parent_);
    EXPECT_TRUE(ShadowVisible());
    EXPECT_EQ(shadow_.m_fState, CWndShadow::SHADOW_ENABLED | CWndShadow::SHADOW_SHOWN);
    const RECT r = ShadowRect();
    EXPECT_EQ(r.left, 196);
    EXPECT_EQ(r.top, 146);
    EXPECT_EQ(r.right - r.left, 578);
    EXPECT_EQ(r.bottom - r.top, 192);
    EXPECT_EQ(CWndShadow::s_shadowByParent.at(parent_), &shadow_);
    // Each setter re-rendered the shown shadow.
    EXPECT_EQ(g_renders, 5);
    shadow_.SetShadowOffset(3, -2);
    EXPECT_EQ(ShadowRect().left, 199);
    EXPECT_EQ(ShadowRect().top, 144);
}

TEST_F(ShadowWindowTest, MovesOnlyMoveGrowthWaitsForThePaintShrinkRendersAtOnce) {
    Attach();
    int renders = g_renders;
    SetWindowPos(parent_, nullptr, 300, 260, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(ShadowRect().left, 296);
    EXPECT_EQ(ShadowRect().top, 256);
    EXPECT_EQ(g_renders, renders);  // a move only moves

    // Growing defers the render to the parent's next paint.
    SetWindowPos(parent_, nullptr, 0, 0, 600, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(g_renders, renders);
    EXPECT_TRUE(shadow_.m_bRedrawPending);
    InvalidateRect(parent_, nullptr, FALSE);
    UpdateWindow(parent_);
    EXPECT_EQ(g_renders, renders + 1);
    EXPECT_FALSE(shadow_.m_bRedrawPending);
    EXPECT_EQ(ShadowRect().right - ShadowRect().left, 608);

    // Shrinking renders at once.
    SetWindowPos(parent_, nullptr, 0, 0, 500, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(g_renders, renders + 2);
    EXPECT_EQ(ShadowRect().right - ShadowRect().left, 508);
    EXPECT_EQ(shadow_.m_lastParentSize, MAKELONG(500, 150));
}

TEST_F(ShadowWindowTest, HiddenWhileMaximisedOrMinimisedAndBackOnRestore) {
    Attach(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VISIBLE);
    for (int command : {SW_MAXIMIZE, SW_MINIMIZE}) {
        SCOPED_TRACE(command);
        ShowWindow(parent_, command);
        EXPECT_FALSE(ShadowVisible());
        EXPECT_FALSE(shadow_.m_fState & CWndShadow::SHADOW_SHOWN);
        const int renders = g_renders;
        ShowWindow(parent_, SW_RESTORE);
        EXPECT_TRUE(ShadowVisible());
        EXPECT_TRUE(shadow_.m_fState & CWndShadow::SHADOW_SHOWN);
        EXPECT_GT(g_renders, renders);
    }
}

TEST_F(ShadowWindowTest, HidingAndShowingTheParentTakeTheShadowAlong) {
    Attach();
    ShowWindow(parent_, SW_HIDE);
    EXPECT_FALSE(ShadowVisible());
    ShowWindow(parent_, SW_SHOW);
    EXPECT_TRUE(ShadowVisible());
    SendMessageA(parent_, WM_NULL, 0, 0);  // what ending a dialog sends
    EXPECT_FALSE(ShadowVisible());
}

TEST_F(ShadowWindowTest, CompositionSuppressesAndRestoresTheShadow) {
    Attach();
    g_composition = TRUE;
    SendMessageA(parent_, WM_DWMCOMPOSITIONCHANGED, 0, 0);
    EXPECT_TRUE(shadow_.m_fState & CWndShadow::SHADOW_SUPPRESSED);
    EXPECT_FALSE(ShadowVisible());
    const int renders = g_renders;
    SetWindowPos(parent_, nullptr, 0, 0, 400, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(g_renders, renders);  // suppressed: sizes are not followed
    g_composition = FALSE;
    SendMessageA(parent_, WM_DWMCOMPOSITIONCHANGED, 0, 0);
    EXPECT_FALSE(shadow_.m_fState & CWndShadow::SHADOW_SUPPRESSED);
    EXPECT_TRUE(ShadowVisible());
    EXPECT_EQ(ShadowRect().right - ShadowRect().left, 408);
}

TEST_F(ShadowWindowTest, ASizableParentIsSuppressedAtAttachOnlyWithComposition) {
    g_composition = TRUE;
    Attach(WS_POPUP | WS_THICKFRAME | WS_VISIBLE);
    EXPECT_TRUE(shadow_.m_fState & CWndShadow::SHADOW_SUPPRESSED);
    EXPECT_FALSE(ShadowVisible());
    CWndShadow plain;
    HWND frameless = CreateWindowExA(0, kParentClass, "p", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    plain.AttachToParent(frameless);
    EXPECT_FALSE(plain.m_fState & CWndShadow::SHADOW_SUPPRESSED);
    EXPECT_TRUE(IsWindowVisible(plain.m_hShadowWnd));
    DestroyWindow(frameless);
}

TEST_F(ShadowWindowTest, DestroyingTheParentEndsTheShadowAndANewOneWorksAgain) {
    Attach();
    HWND shadow = shadow_.m_hShadowWnd;
    HWND parent = parent_;
    DestroyWindow(parent_);
    EXPECT_FALSE(IsWindow(shadow));
    EXPECT_EQ(CWndShadow::s_shadowByParent.count(parent), 0u);

    CWndShadow second;
    HWND next = CreateWindowExA(0, kParentClass, "again", WS_POPUP | WS_VISIBLE, 10, 10, 100, 60,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    second.AttachToParent(next);
    EXPECT_TRUE(IsWindowVisible(second.m_hShadowWnd));
    EXPECT_EQ(CWndShadow::s_shadowByParent.at(next), &second);
    RECT r;
    GetWindowRect(second.m_hShadowWnd, &r);
    EXPECT_EQ(r.left, 15);  // the defaults: offset 5, spread 0
    EXPECT_EQ(r.right - r.left, 100);
    DestroyWindow(next);
    EXPECT_EQ(CWndShadow::s_shadowByParent.count(next), 0u);
}

TEST_F(ShadowWindowTest, WithoutLayeredWindowsNothingIsAttached) {
    CWndShadow::s_pfnUpdateLayered = nullptr;
    parent_ = CreateWindowExA(0, kParentClass, "parent", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    const LONG_PTR proc = GetWindowLongPtrA(parent_, GWLP_WNDPROC);
    shadow_.AttachToParent(parent_);
    EXPECT_EQ(shadow_.m_hShadowWnd, reinterpret_cast<HWND>(~uintptr_t(0)));
    EXPECT_EQ(shadow_.m_fState, 0);
    EXPECT_EQ(CWndShadow::s_shadowByParent.count(parent_), 0u);
    EXPECT_EQ(GetWindowLongPtrA(parent_, GWLP_WNDPROC), proc);
}

TEST_F(ShadowWindowTest, ASpreadThatLeavesNoImageKeepsTheShadowAsItWas) {
    Attach();
    const RECT before = ShadowRect();
    const int renders = g_renders;
    shadow_.SetShadowSpread(-100);  // 570 x 184 less 200 on each axis: no image
    EXPECT_EQ(g_renders, renders);
    const RECT after = ShadowRect();
    EXPECT_TRUE(EqualRect(&before, &after));
}

}  // namespace

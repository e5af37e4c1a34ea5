// CString, CEvent, CFileFind, the GDI wrappers and the GDI+ use.
#include <atomic>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "framework/afxwin.h"
#include "framework/gdiplus_use.h"

namespace {

TEST(CStringTest, KeepsGbkBytesAndFormats) {
    const CString text("正在下载");
    EXPECT_EQ(text.GetLength(), 8);  // four GBK characters of two bytes each
    EXPECT_EQ(std::memcmp(text.GetString(), "\xd5\xfd\xd4\xda\xcf\xc2\xd4\xd8", 8), 0);
    CString formatted;
    formatted.Format("正在下载（%d%%）......", 42);
    EXPECT_STREQ(formatted, "正在下载（42%）......");
    CString copy = text;
    copy += "!";
    EXPECT_TRUE(copy == "正在下载!");
    EXPECT_TRUE(copy != text);
    copy.Empty();
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_TRUE(copy == nullptr);  // a null text counts as empty
}

TEST(CStringTest, BufferTakesTheLengthUpToTheFirstZero) {
    CString s;
    char* buffer = s.GetBuffer(260);
    std::strcpy(buffer, "C:\\temp\\");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 8);
    EXPECT_EQ(s.ReverseFind('\\'), 7);
    EXPECT_STREQ(s.Left(2), "C:");
    EXPECT_STREQ(s.Mid(3), "temp\\");
    EXPECT_STREQ(s.Mid(40), "");
}

TEST(CStringTest, ReverseFindSkipsTrailBytes) {
    // Read in code page 936: "乗" is 0x81 0x5C, "表" 0xB1 0xED.
    const struct {
        int line;
        const char* text;
        char c;
        int at;
    } rows[] = {
        {__LINE__, "C:\\dir\\乗", '\\', 6}, {__LINE__, "C:\\乗乗", '\\', 2},
        {__LINE__, "乗", '\\', -1},         {__LINE__, "a\\乗\\b", '\\', 4},
        {__LINE__, "表.exe", '.', 2},       {__LINE__, "", '\\', -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(CString(row.text).ReverseFind(row.c), row.at);
    }
}

TEST(CEventTest, IsAutoResetAndStartsUnsignalled) {
    CEvent event;
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_TIMEOUT));
    event.SetEvent();
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_TIMEOUT));  // the wait reset it
    event.SetEvent();
    event.ResetEvent();
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_TIMEOUT));
}

class CFileFindTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "kesto_find_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        CreateDirectoryA((folder_ + "\\sub").c_str(), nullptr);
        for (const char* name : {"b.txt", "a.exe"}) {
            HANDLE f = CreateFileA((folder_ + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
            CloseHandle(f);
        }
    }
    void TearDown() override {
        DeleteFileA((folder_ + "\\a.exe").c_str());
        DeleteFileA((folder_ + "\\b.txt").c_str());
        RemoveDirectoryA((folder_ + "\\sub").c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    std::string folder_;
};

TEST_F(CFileFindTest, NextReturnsFalseTogetherWithTheLastEntry) {
    CFileFind find;
    ASSERT_TRUE(find.FindFile((folder_ + "\\*.*").c_str()));
    std::set<std::string> files, folders;
    int dots = 0;
    BOOL more = TRUE;
    int entries = 0;
    while (more) {
        more = find.FindNextFile();
        ++entries;
        if (find.IsDots())
            ++dots;
        else if (find.MatchesMask(FILE_ATTRIBUTE_DIRECTORY))
            folders.insert(find.GetFileName().GetString());
        else
            files.insert(find.GetFilePath().GetString());
    }
    EXPECT_EQ(entries, 5);
    EXPECT_EQ(dots, 2);
    EXPECT_EQ(folders, std::set<std::string>({"sub"}));
    EXPECT_EQ(files, std::set<std::string>({folder_ + "\\a.exe", folder_ + "\\b.txt"}));
    EXPECT_FALSE(find.FindNextFile());  // nothing after the end
}

TEST_F(CFileFindTest, MissingFolderFindsNothing) {
    CFileFind find;
    EXPECT_FALSE(find.FindFile((folder_ + "\\missing\\*.*").c_str()));
    EXPECT_FALSE(find.FindNextFile());
}

TEST(GdiTest, SelectedObjectsReturnAndDrawingRestoresTheBackground) {
    HDC screen = GetDC(nullptr);
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(screen));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(screen, 8, 6));
    ReleaseDC(nullptr, screen);
    BITMAP info = {};
    ASSERT_TRUE(bitmap.GetBitmap(&info));
    EXPECT_EQ(info.bmWidth, 8);
    EXPECT_EQ(info.bmHeight, 6);

    const HGDIOBJ original = GetCurrentObject(dc, OBJ_BITMAP);
    {
        CSelectObject select(dc, bitmap);
        EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), static_cast<HGDIOBJ>(bitmap));
        SetBkColor(dc, RGB(1, 2, 3));
        dc.FillSolidRect(0, 0, 8, 6, RGB(0, 0, 0));
        const RECT frame = {1, 1, 7, 5};
        dc.Draw3dRect(&frame, RGB(255, 0, 0), RGB(0, 0, 255));
        EXPECT_EQ(GetBkColor(dc), RGB(1, 2, 3));
        // Top row and left column in the first colour, right column 6 and bottom row 4 in
        // the second; the inside is untouched.
        EXPECT_EQ(GetPixel(dc, 3, 1), RGB(255, 0, 0));
        EXPECT_EQ(GetPixel(dc, 1, 3), RGB(255, 0, 0));
        EXPECT_EQ(GetPixel(dc, 6, 3), RGB(0, 0, 255));
        EXPECT_EQ(GetPixel(dc, 3, 4), RGB(0, 0, 255));
        EXPECT_EQ(GetPixel(dc, 3, 3), RGB(0, 0, 0));
        EXPECT_EQ(GetPixel(dc, 7, 3), RGB(0, 0, 0));
    }
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), original);
    const HBITMAP raw = bitmap.Detach();
    EXPECT_EQ(bitmap.GetSafeHandle(), nullptr);
    EXPECT_NE(GetObjectType(raw), 0u);
    DeleteObject(raw);
    EXPECT_TRUE(dc.DeleteDC());
    EXPECT_FALSE(dc.DeleteDC());
}

}  // namespace

namespace {

TEST(GdiplusUseTest, CloseWaitsForAHoldAndNoneOpensAfter) {
    struct Painter {
        CEvent holding;
        std::atomic<bool> released{false};
        static DWORD WINAPI Paint(LPVOID param) {
            Painter* self = static_cast<Painter*>(param);
            const CGdiplusUse use;
            self->holding.SetEvent();
            Sleep(300);  // a long paint
            self->released = true;
            return use ? 1 : 0;
        }
    } painter;
    HANDLE thread = CreateThread(nullptr, 0, &Painter::Paint, &painter, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(painter.holding, 20000), WAIT_OBJECT_0);
    EXPECT_FALSE(TryCloseGdiplusUse());  // a hold in progress
    EXPECT_TRUE(CGdiplusUse());          // and the use still open beside it
    CloseGdiplusUse();
    EXPECT_TRUE(painter.released);  // the paint ended before the use closed
    EXPECT_FALSE(CGdiplusUse());
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 1u);  // it could call GDI+ throughout
    CloseHandle(thread);
    OpenGdiplusUse();
    EXPECT_TRUE(TryCloseGdiplusUse());
    EXPECT_FALSE(CGdiplusUse());
    OpenGdiplusUse();
}

}  // namespace

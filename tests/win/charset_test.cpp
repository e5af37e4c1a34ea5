// The Windows target's text: literals compile to GBK and Wine runs with the ANSI code page 936.
#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

TEST(CharsetTest, AnsiCodePageIs936) {
    EXPECT_EQ(GetACP(), 936u);
}

TEST(CharsetTest, LiteralIsGbkAndConvertsBackToUtf16) {
    struct Row {
        int line;
        const char* literal;
        std::string gbk;
        std::wstring utf16;
    };
    const Row rows[] = {
        {__LINE__, "下载完成", "\xCF\xC2\xD4\xD8\xCD\xEA\xB3\xC9", L"\u4E0B\u8F7D\u5B8C\u6210"},
        {__LINE__, "（42%）",
         "\xA3\xA8"
         "42%"
         "\xA3\xA9",
         L"\uFF0842%\uFF09"},
        {__LINE__, "kesto.exe", "kesto.exe", L"kesto.exe"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(std::string(row.literal), row.gbk);
        wchar_t wide[64] = {};
        int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, row.literal, -1, wide, 64);
        ASSERT_GT(n, 0);
        EXPECT_EQ(std::wstring(wide), row.utf16);
    }
}

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

TEST(WinePrefixTest, ChineseUiFontIsSubstituted) {
    // The dialog asks for "Microsoft YaHei"; the prefix maps it (and its Chinese name) to the
    // installed WenQuanYi Micro Hei.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            "Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    for (const char* face : {"Microsoft YaHei", "微软雅黑"}) {
        SCOPED_TRACE(face);
        char value[64] = {};
        DWORD size = sizeof(value) - 1;
        DWORD type = 0;
        EXPECT_EQ(
            RegQueryValueExA(key, face, nullptr, &type, reinterpret_cast<BYTE*>(value), &size),
            ERROR_SUCCESS);
        EXPECT_STREQ(value, "WenQuanYi Micro Hei");
    }
    RegCloseKey(key);
}

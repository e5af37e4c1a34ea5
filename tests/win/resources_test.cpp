// The executable's own resources, read from KestoQuickSetup.exe as a data file.
// clang-format off
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string ProgramPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    s = s.substr(0, s.rfind('\\'));  // tests\win
    s = s.substr(0, s.rfind('\\'));  // tests
    return s.substr(0, s.rfind('\\') + 1) + "KestoQuickSetup.exe";
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR param) {
    ++*reinterpret_cast<int*>(param);
    return TRUE;
}

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }
    void SetUp() override { ASSERT_NE(module_, nullptr) << ProgramPath(); }

    static std::vector<unsigned char> Bytes(LPCSTR type, int id) {
        HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), type);
        if (found == nullptr)
            return {};
        const unsigned char* data =
            static_cast<const unsigned char*>(LockResource(LoadResource(module_, found)));
        return std::vector<unsigned char>(data, data + SizeofResource(module_, found));
    }
    static std::vector<WORD> Languages(LPCSTR type, int id) {
        std::vector<WORD> languages;
        EnumResourceLanguagesA(module_, type, MAKEINTRESOURCEA(id), &AddLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
        return languages;
    }

    static HMODULE module_;
};

HMODULE ResourcesTest::module_ = nullptr;

TEST_F(ResourcesTest, EachResourceUnderItsLanguage) {
    const struct {
        LPCSTR type;
        int id;
        WORD language;
    } rows[] = {{RT_DIALOG, 102, 2052},     {"PNG", 129, 2052},         {"PNG", 130, 2052},
                {RT_GROUP_ICON, 128, 2052}, {RT_GROUP_ICON, 131, 2052}, {RT_VERSION, 1, 2052},
                {RT_MANIFEST, 1, 1033}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(Languages(row.type, row.id), std::vector<WORD>({row.language}));
    }
    int manifests = 0;
    EnumResourceNamesA(module_, RT_MANIFEST, &CountName, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(manifests, 1);  // no toolchain default beside ours
}

TEST_F(ResourcesTest, DialogTemplateFields) {
    const std::vector<unsigned char> t = Bytes(RT_DIALOG, 102);
    ASSERT_GE(t.size(), 26u);
    auto word = [&](size_t at) { return WORD(t[at] | t[at + 1] << 8); };
    auto dword = [&](size_t at) { return DWORD(word(at) | DWORD(word(at + 2)) << 16); };
    EXPECT_EQ(word(0), 1);       // version
    EXPECT_EQ(word(2), 0xFFFF);  // signature
    EXPECT_EQ(dword(4), 0u);     // help ID
    EXPECT_EQ(dword(8), DWORD(WS_EX_APPWINDOW));
    EXPECT_EQ(dword(12),
              DWORD(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME | DS_SETFONT | DS_FIXEDSYS));
    EXPECT_EQ(word(16), 0);  // no controls
    EXPECT_EQ(std::make_tuple(word(18), word(20), word(22), word(24)),
              std::make_tuple(WORD(0), WORD(0), WORD(320), WORD(200)));
    size_t at = 26;
    auto text = [&] {
        std::string s;
        while (word(at) != 0) {
            s += static_cast<char>(word(at));
            at += 2;
        }
        at += 2;
        return s;
    };
    EXPECT_EQ(text(), "");  // no menu
    EXPECT_EQ(text(), "");  // the standard dialog class
    EXPECT_EQ(text(), "KestoQuickSetup");
    EXPECT_EQ(word(at), 9);      // points
    EXPECT_EQ(word(at + 2), 0);  // weight
    EXPECT_EQ(t[at + 4], 0);     // not italic
    EXPECT_EQ(t[at + 5], 1);     // DEFAULT_CHARSET
    at += 6;
    EXPECT_EQ(text(), "MS Shell Dlg");
}

// Decodes a PNG resource with GDI+ and reads its pixels as ARGB.
struct Decoded {
    int width = 0, height = 0;
    std::vector<DWORD> argb;
};

Decoded Decode(const std::vector<unsigned char>& png) {
    Decoded out;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    {
        IStream* stream = nullptr;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, png.size());
        std::memcpy(GlobalLock(block), png.data(), png.size());
        GlobalUnlock(block);
        CreateStreamOnHGlobal(block, TRUE, &stream);
        Gdiplus::Bitmap bitmap(stream);
        out.width = static_cast<int>(bitmap.GetWidth());
        out.height = static_cast<int>(bitmap.GetHeight());
        for (int y = 0; y < out.height; ++y) {
            for (int x = 0; x < out.width; ++x) {
                Gdiplus::Color c;
                bitmap.GetPixel(x, y, &c);
                out.argb.push_back(c.GetValue());
            }
        }
        stream->Release();
    }
    Gdiplus::GdiplusShutdown(token);
    return out;
}

TEST_F(ResourcesTest, ProgressStripIsAnOpaqueRampThroughItsFourColours) {
    const std::vector<unsigned char> png = Bytes("PNG", 129);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png[24], 8);  // bits per channel
    EXPECT_EQ(png[25], 6);  // RGBA
    const Decoded strip = Decode(png);
    ASSERT_EQ(strip.width, 800);
    ASSERT_EQ(strip.height, 2);
    for (int x = 0; x < 800; ++x) {
        EXPECT_EQ(strip.argb[x] >> 24, 255u) << x;
        EXPECT_EQ(strip.argb[x], strip.argb[800 + x]) << x;
    }
    const struct {
        int x;
        DWORD rgb;
    } stops[] = {{0, 0x03AAC9},   {300, 0x298959}, {400, 0x428838}, {799, 0xE9DC06},
                 {150, 0x169A91}, {350, 0x368848}};  // the last two: halfway, rounded to even
    for (const auto& stop : stops)
        EXPECT_EQ(strip.argb[stop.x] & 0xFFFFFF, stop.rgb) << stop.x;
}

TEST_F(ResourcesTest, LandscapeIsAnRgbPicture) {
    const std::vector<unsigned char> png = Bytes("PNG", 130);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png[25], 2);  // RGB
    const Decoded picture = Decode(png);
    EXPECT_EQ(picture.width, 570);
    EXPECT_EQ(picture.height, 255);
    EXPECT_GT(std::set<DWORD>(picture.argb.begin(), picture.argb.end()).size(), 1000u);
}

TEST_F(ResourcesTest, IconGroupsHoldTheirImages) {
    auto entries = [](const std::vector<unsigned char>& g) {
        std::vector<std::pair<int, int>> sizes;  // (pixels, bits)
        const int count = g[4] | g[5] << 8;
        for (int i = 0; i < count; ++i) {
            const unsigned char* e = &g[6 + 14 * i];
            sizes.push_back({e[0] == 0 ? 256 : e[0], e[6] | e[7] << 8});
        }
        return sizes;
    };
    std::vector<std::pair<int, int>> program = entries(Bytes(RT_GROUP_ICON, 128));
    std::set<std::pair<int, int>> expected;
    for (int size : {32, 48, 64, 96, 128, 256}) {
        for (int bits : {4, 8, 32})
            expected.insert({size, bits});
    }
    EXPECT_EQ(program.size(), 18u);
    const std::set<std::pair<int, int>> found(program.begin(), program.end());
    EXPECT_EQ(found, expected);
    EXPECT_EQ(entries(Bytes(RT_GROUP_ICON, 131)),
              (std::vector<std::pair<int, int>>{{64, 32}, {48, 32}, {32, 32}, {24, 32}, {16, 32}}));
    HICON small = static_cast<HICON>(
        LoadImageA(module_, MAKEINTRESOURCEA(131), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    EXPECT_NE(small, nullptr);
    DestroyIcon(small);
}

TEST_F(ResourcesTest, VersionBlock) {
    const std::string path = ProgramPath();
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(path.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(
        GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 0x04B0);
    for (const char* key :
         {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
          "OriginalFilename", "ProductName", "ProductVersion"}) {
        char* value = nullptr;
        const std::string query = std::string("\\StringFileInfo\\080404B0\\") + key;
        EXPECT_TRUE(
            VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << key;
        EXPECT_GT(length, 1u) << key;
    }
    char* version = nullptr;
    VerQueryValueA(block.data(), "\\StringFileInfo\\080404B0\\FileVersion",
                   reinterpret_cast<void**>(&version), &length);
    EXPECT_STREQ(version, "1.0.0.1");
    char* product = nullptr;
    VerQueryValueA(block.data(), "\\StringFileInfo\\080404B0\\ProductName",
                   reinterpret_cast<void**>(&product), &length);
    EXPECT_STREQ(product, "岫澜汇快速安装程序");  // GBK through the ANSI query
}

TEST_F(ResourcesTest, ManifestAsksForAdministratorAndDpiAwareness) {
    const std::vector<unsigned char> bytes = Bytes(RT_MANIFEST, 1);
    const std::string manifest(bytes.begin(), bytes.end());
    EXPECT_NE(manifest.find("manifestVersion=\"1.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"requireAdministrator\" uiAccess=\"false\""),
              std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_EQ(manifest.find("dependency"), std::string::npos);
}

}  // namespace

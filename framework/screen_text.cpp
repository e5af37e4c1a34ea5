#include "framework/screen_text.h"

namespace {

const UINT kGbk = 936;

std::wstring ToWide(UINT codePage, const char* text, int length) {
    if (text == nullptr || length == 0)
        return std::wstring();
    const int n = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, &wide[0], n);
    if (length < 0)
        wide.resize(static_cast<size_t>(n - 1));  // the terminator was converted too
    return wide;
}

}  // namespace

std::wstring GbkToWide(const char* text, int length) {
    return ToWide(kGbk, text, length);
}

std::wstring AnsiToWide(const char* text, int length) {
    return ToWide(CP_ACP, text, length);
}

#include "framework/cstring.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        Empty();
        return;
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    text.resize(static_cast<size_t>(length));
    m_text.swap(text);
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength())
        m_text.resize(static_cast<size_t>(minLength));
    return &m_text[0];  // the terminator after size() is writable since C++11
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_text.c_str()));
    if (newLength < GetLength())
        m_text.resize(static_cast<size_t>(newLength));
}

int CString::ReverseFind(char c) const {
    int found = -1;
    const int length = GetLength();
    for (int i = 0; i < length; ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(m_text[i])) && i + 1 < length)
            ++i;  // the character's second byte
        else if (m_text[i] == c)
            found = i;
    }
    return found;
}

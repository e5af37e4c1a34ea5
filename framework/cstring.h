// framework/cstring.h: CString, the framework's ANSI string. Bytes are kept as they are (GBK
// text stays GBK); comparisons are byte for byte.
#ifndef KESTO_FRAMEWORK_CSTRING_H
#define KESTO_FRAMEWORK_CSTRING_H

#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text)
        : m_text(text ? text : "") {}  // NOLINT: implicit like the framework's
    CString(const char* text, int length) : m_text(text ? std::string(text, length) : "") {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { std::string().swap(m_text); }  // gives the storage back, not only the length
    const char* GetString() const { return m_text.c_str(); }
    operator const char*() const { return m_text.c_str(); }

    CString& operator=(const char* text) {
        m_text = text ? text : "";
        return *this;
    }
    CString& operator+=(const char* text) {
        if (text)
            m_text += text;
        return *this;
    }
    CString& operator+=(char c) {
        m_text += c;
        return *this;
    }
    friend CString operator+(const CString& a, const char* b) {
        CString r(a);
        r += b;
        return r;
    }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }

    // Position of the last character c, or -1. The text is read in the ANSI code page, one
    // character at a time: a double-byte character's trail byte may equal c ("乗" in GBK is
    // 0x81 0x5C, its second byte a backslash) and is never taken for it.
    int ReverseFind(char c) const;
    CString Left(int count) const {
        return CString(m_text.substr(0, count < 0 ? 0 : static_cast<size_t>(count)));
    }
    CString Mid(int first) const {
        return first >= GetLength() ? CString() : CString(m_text.substr(first < 0 ? 0 : first));
    }

    void Format(const char* format, ...);

    // Room for at least minLength characters and a terminator; ReleaseBuffer takes the
    // length up to the first zero byte (or the given one).
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

private:
    explicit CString(std::string text) : m_text(std::move(text)) {}
    std::string m_text;
};

#endif  // KESTO_FRAMEWORK_CSTRING_H

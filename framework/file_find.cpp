#include "framework/file_find.h"

#include <cstring>

BOOL CFileFind::FindFile(const char* pstrName, DWORD) {
    Close();
    const char* pattern = pstrName != nullptr ? pstrName : "*.*";
    m_find.Reset(FindFirstFileA(pattern, &m_next));
    if (!m_find.IsValid())
        return FALSE;
    char full[MAX_PATH];
    char* namePart = nullptr;
    const DWORD length = GetFullPathNameA(pattern, MAX_PATH, full, &namePart);
    if (length == 0 || length >= MAX_PATH) {
        m_root = pattern;
    } else {
        m_root = full;
    }
    const int slash = m_root.ReverseFind('\\');
    m_root = slash >= 0 ? m_root.Left(slash) : CString();
    return TRUE;
}

BOOL CFileFind::FindNextFile() {
    if (!m_find.IsValid())
        return FALSE;
    m_found = m_next;
    if (::FindNextFileA(m_find.Get(), &m_next))
        return TRUE;
    m_find.Close();  // the last entry stays readable
    return FALSE;
}

void CFileFind::Close() {
    m_find.Close();
    m_found = WIN32_FIND_DATAA();
    m_root.Empty();
}

BOOL CFileFind::IsDots() const {
    return IsDirectory() &&
           (std::strcmp(m_found.cFileName, ".") == 0 || std::strcmp(m_found.cFileName, "..") == 0);
}

CString CFileFind::GetFilePath() const {
    CString path = m_root;
    path += '\\';
    path += m_found.cFileName;
    return path;
}

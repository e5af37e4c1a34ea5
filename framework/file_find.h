// framework/file_find.h: CFileFind, a walk over FindFirstFileA / FindNextFileA.
// FindNextFile makes the next entry current and returns FALSE together with the last one, so
// a loop `while (more) { more = f.FindNextFile(); use f; }` sees every entry once.
#ifndef KESTO_FRAMEWORK_FILE_FIND_H
#define KESTO_FRAMEWORK_FILE_FIND_H

#include <windows.h>

#include "framework/cstring.h"
#include "framework/scoped_handle.h"

class CFileFind {
public:
    CFileFind() = default;
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    BOOL FindFile(const char* pstrName = nullptr, DWORD dwUnused = 0);
    BOOL FindNextFile();
    void Close();

    BOOL MatchesMask(DWORD dwMask) const { return (m_found.dwFileAttributes & dwMask) != 0; }
    BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    BOOL IsDots() const;
    CString GetFileName() const { return CString(m_found.cFileName); }
    CString GetFilePath() const;  // the folder searched, a backslash and the name

private:
    ScopedFindHandle m_find;
    WIN32_FIND_DATAA m_found = {};
    WIN32_FIND_DATAA m_next = {};
    CString m_root;
};

#endif  // KESTO_FRAMEWORK_FILE_FIND_H

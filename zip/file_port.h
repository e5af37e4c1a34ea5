// zip/file_port.h: what the zip reader needs from the file system and the clock, behind one
// small interface with a Win32 and a POSIX backend. Paths are ANSI; "\" and "/" both separate.
// Tests install their own port (a recording or failing one) over the default.
#ifndef KESTO_ZIP_FILE_PORT_H
#define KESTO_ZIP_FILE_PORT_H

#include <stdint.h>

#include "zip/archive.h"

class FilePort {
public:
    typedef void* File;  // null when creation failed

    // Creates or replaces path for writing with the given FILE_ATTRIBUTE_* bits (CREATE_ALWAYS).
    // Fails for an existing read-only file, as Windows does.
    virtual File CreateOutputFile(const char* path, uint32_t attributes) = 0;
    virtual bool WriteOutputFile(File file, const void* data, uint32_t size) = 0;
    virtual bool SetOutputFileTimes(File file, const FILETIME& create, const FILETIME& access,
                                    const FILETIME& write) = 0;
    virtual void CloseOutputFile(File file) = 0;
    // Removes a file, a read-only one too; false when it cannot be removed.
    virtual bool RemoveFile(const char* path) = 0;
    // GetFileAttributesA != INVALID_FILE_ATTRIBUTES.
    virtual bool PathExists(const char* path) = 0;
    // One level; failures are left to the later file creation to show.
    virtual void CreateFolder(const char* path) = 0;
    // The current directory into buffer[size]; false when it does not fit.
    virtual bool GetCurrentFolder(char* buffer, uint32_t size) = 0;
    // A local FILETIME (100 ns since 1601) as UTC.
    virtual uint64_t LocalToUtc(uint64_t local) = 0;
    // A UTF-8 name in the code page the file calls take (the ANSI code page on Windows; GBK,
    // the program's, in the POSIX backend) into out[size], terminated. False when the text
    // is not well-formed UTF-8, has a character with no form in that code page, or does not
    // fit: such a name is never written under another.
    virtual bool Utf8ToFileName(const char* utf8, char* out, uint32_t size) = 0;

protected:
    ~FilePort() = default;
};

// The platform's backend.
FilePort& DefaultFilePort();
// The port the reader uses now; SetFilePort(nullptr) restores the default.
FilePort& CurrentFilePort();
void SetFilePort(FilePort* port);

// Creates the folders of path under base (no base: path alone), shallowest first, each only
// when missing; an empty path creates only base. Failures are silent; a later file creation
// shows them. Levels that would not fit MAX_PATH are skipped.
void EnsureDirectoryPath(const char* base, const char* path);

#endif  // KESTO_ZIP_FILE_PORT_H

// zip/archive.h: a read-only reader of zip archives held whole in memory.
//
// An opaque handle, plain records and integer result codes; no exceptions. Single-disk
// archives with stored (0) and deflated (8) items, classic (non-ZIP64) records. Items are
// looked up by index and extracted to files under a base folder or into a caller's buffer.
// A handle belongs to one thread at a time.
#ifndef KESTO_ZIP_ARCHIVE_H
#define KESTO_ZIP_ARCHIVE_H

#include <stdint.h>

#ifdef _WIN32
#include <minwindef.h>
#else
typedef struct _FILETIME {
    uint32_t dwLowDateTime;
    uint32_t dwHighDateTime;
} FILETIME;
#endif

struct ArchiveHandleRecord;
typedef ArchiveHandleRecord* ArchiveHandle;

typedef uint32_t ArchiveResult;
enum : uint32_t {
    ArchiveOk = 0,
    ArchiveCannotOpen = 0x200,      // the output file cannot be created
    ArchiveWriteFailed = 0x400,     // writing the output file failed
    ArchiveBufferFull = 0x600,      // the caller's buffer is full and the item has more data
    ArchiveBadLocalHeader = 0x700,  // the local header is unreadable or contradicts the directory
    ArchiveReadFailed = 0x800,      // the item's name or local extra field cannot be read whole
    ArchiveBadName = 0x900,         // a UTF-8 name that is malformed or has no ANSI form
    ArchiveDecryptFailed = 0x1000,  // an encrypted item's check byte does not match
    ArchiveBadArgument = 0x10000,   // null handle or pointer, index out of range, text too long
    ArchiveWrongHandle = 0x80000,   // the handle is not a reader handle
    ArchiveInflateFailed = 0x5000000,  // data unreadable, not decompressible, or not intact
};

struct ZipItem {
    int32_t index;        // the item's index; for a request with index -1, the number of items
    char name[260];       // sanitised name, NUL-terminated: the archive's own bytes, or, for a
                          // name the archive marks UTF-8 (flag bit 11), the file calls' code page
    uint32_t attributes;  // FILE_ATTRIBUTE_* bits: 0x1, 0x2, 0x4, 0x10, 0x20
    FILETIME accessTime;  // all three UTC
    FILETIME createTime;
    FILETIME writeTime;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
};

// Opens the archive in data[0, size). The buffer is read in place: keep it alive and unchanged
// until ArchiveClose. The base folder starts as the current directory.
// Returns no handle when the bytes hold no readable single-disk end record.
ArchiveHandle ArchiveOpenFromMemory(const void* data, uint32_t size);

// Fills *item for index 0 .. count-1, or with the item count in item->index for index -1.
// ArchiveOk; ArchiveBadArgument for a null handle or item, or an index outside -1 .. count-1;
// ArchiveWrongHandle; ArchiveBadLocalHeader when the item's central or local record cannot be
// read or they disagree; ArchiveReadFailed when its name does not fit the record or holds a NUL,
// or its local extra field is cut short; ArchiveBadName when its name is marked UTF-8 but is
// not well-formed or has a character the file calls' code page lacks (it would be written
// under another name).
ArchiveResult ArchiveGetItem(ArchiveHandle h, int32_t index, ZipItem* item);

// Sets the base folder for relative paths; a separator is appended when missing. An empty
// folder means the current directory at extraction time.
// ArchiveOk; ArchiveBadArgument for a null folder or one that does not fit MAX_PATH.
ArchiveResult ArchiveSetTargetDir(ArchiveHandle h, const char* folder);

// Writes item index to path (relative to the base folder unless it starts with "\", "/" or a
// drive), creating the folders it needs; a directory item only creates its folders.
// ArchiveOk; ArchiveBadArgument (bad index, null path, a full path beyond MAX_PATH: nothing is
// created); the lookup's code when the item cannot be looked up (nothing is created);
// ArchiveCannotOpen; ArchiveWriteFailed; ArchiveDecryptFailed; ArchiveInflateFailed (also for
// data that does not match its CRC-32 or size). After a failure past file creation the partial
// file stays.
ArchiveResult ArchiveExtractToFile(ArchiveHandle h, int32_t index, const char* path);

// Fills buffer with the item's next bytes. ArchiveOk: the item's last byte is delivered (a
// repeat call delivers nothing more and gives ArchiveOk again); ArchiveBufferFull: size bytes
// delivered and more follow, call again with the same index; any lookup or extraction in
// between starts the item over. ArchiveBadArgument; ArchiveWrongHandle; ArchiveDecryptFailed;
// ArchiveInflateFailed (also for data that does not match its CRC-32 or size).
ArchiveResult ArchiveExtractToMemory(ArchiveHandle h, int32_t index, void* buffer, uint32_t size);

// Frees the handle and all it holds; the archive's buffer may be freed afterwards.
// ArchiveOk; ArchiveBadArgument for a null handle (nothing happens); ArchiveWrongHandle.
ArchiveResult ArchiveClose(ArchiveHandle h);

#endif  // KESTO_ZIP_ARCHIVE_H

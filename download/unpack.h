// download/unpack.h: unpacking the downloaded package into the unpack folder.
#ifndef KESTO_DOWNLOAD_UNPACK_H
#define KESTO_DOWNLOAD_UNPACK_H

#include <stdint.h>

// Writes every item of the package under its own name below targetDir. An item whose name
// contains ".zip" is instead extracted into memory and its items written into the same folder,
// an item named "autoupdate.exe" (any letter case) as "autoupdatecpy.exe". Reports nothing;
// an item that fails is skipped (a file it left part-written is removed), and so is one whose name
// holds a ':', a device name or a component ending in a dot or a space, and a nested archive
// claiming more than deflate can give. An archive whose items' compressed sizes add up to more than
// its length (data read twice) writes nothing. Throws std::bad_alloc when a nested archive's buffer
// cannot be had.
void UnpackPackage(const void* package, uint32_t length, const char* targetDir);

#endif  // KESTO_DOWNLOAD_UNPACK_H

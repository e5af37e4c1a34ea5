// The reader's current file port.
#include "zip/file_port.h"

namespace {
FilePort* g_filePort = nullptr;
}

FilePort& CurrentFilePort() {
    return g_filePort != nullptr ? *g_filePort : DefaultFilePort();
}

void SetFilePort(FilePort* port) {
    g_filePort = port;
}

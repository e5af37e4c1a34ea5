// tests/unit/embedded_files.h: the fixture files, compiled into the test programs.
#ifndef KESTO_TESTS_EMBEDDED_FILES_H
#define KESTO_TESTS_EMBEDDED_FILES_H

#include <stdint.h>

#include <string>

struct EmbeddedFile {
    const char* name;
    const unsigned char* data;
    uint32_t size;
};

extern const EmbeddedFile kEmbeddedFiles[];

// The fixture's bytes; an empty string (and a test failure) when there is none of that name.
std::string Fixture(const char* name);

#endif  // KESTO_TESTS_EMBEDDED_FILES_H

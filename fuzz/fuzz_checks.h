// fuzz/fuzz_checks.h: what must hold for any input; a broken rule aborts, which the fuzzer
// reports as a crash with the input that caused it.
#ifndef KESTO_FUZZ_FUZZ_CHECKS_H
#define KESTO_FUZZ_FUZZ_CHECKS_H

#include <stdio.h>
#include <stdlib.h>

#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                      \
        }                                                                                 \
    } while (0)

// True when some component of path (split at "\" and "/") is "..".
inline bool HasParentPart(const char* path) {
    for (const char* p = path; *p != '\0';) {
        const char* end = p;
        while (*end != '\0' && *end != '/' && *end != '\\')
            ++end;
        if (end - p == 2 && p[0] == '.' && p[1] == '.')
            return true;
        p = *end == '\0' ? end : end + 1;
    }
    return false;
}

#endif  // KESTO_FUZZ_FUZZ_CHECKS_H

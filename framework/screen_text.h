// framework/screen_text.h: where a text meets the screen. The program's own texts are GBK
// bytes (code page 936) whatever the system's ANSI code page; the system's own texts (its
// error messages, the executable's name) come in the ANSI code page. Each is turned into
// UTF-16 from its own code page and shown with the wide calls, so both read right on a
// system whose code page is not 936.
#ifndef KESTO_FRAMEWORK_SCREEN_TEXT_H
#define KESTO_FRAMEWORK_SCREEN_TEXT_H

#include <windows.h>

#include <string>

// length -1: up to the terminator.
std::wstring GbkToWide(const char* text, int length = -1);
std::wstring AnsiToWide(const char* text, int length = -1);

#endif  // KESTO_FRAMEWORK_SCREEN_TEXT_H

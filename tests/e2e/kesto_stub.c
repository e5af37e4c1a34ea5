/* Stands in for the product's main program: runs, under the name it is copied to, until the
   file named by its argument exists (at most 60 s). */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)show;
    for (int i = 0; i < 6000; ++i) {
        if (GetFileAttributesA(commandLine) != INVALID_FILE_ATTRIBUTES)
            return 0;
        Sleep(10);
    }
    return 1;
}

/* The sample package's installer. It records how it was started (command line and current
   folder) in demo-installer-report.txt beside itself, then tells the user it runs; with
   KESTO_DEMO_AUTOCLOSE set it ends without asking. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    char self[MAX_PATH] = {0};
    char report[MAX_PATH + 32] = {0};
    char folder[MAX_PATH] = {0};
    char* slash;
    FILE* f;
    (void)instance;
    (void)previous;
    (void)show;
    GetModuleFileNameA(NULL, self, MAX_PATH - 1);
    strcpy(report, self);
    slash = strrchr(report, '\\');
    if (slash != NULL)
        strcpy(slash + 1, "demo-installer-report.txt");
    GetCurrentDirectoryA(MAX_PATH, folder);
    f = fopen(report, "w");
    if (f != NULL) {
        fprintf(f, "program=%s\nparameters=%s\ncurrent=%s\n", self, commandLine, folder);
        fclose(f);
    }
    if (GetEnvironmentVariableA("KESTO_DEMO_AUTOCLOSE", NULL, 0) == 0)
        MessageBoxA(NULL, "岫澜汇演示安装程序已启动。\n这是快速安装程序下载并启动的安装程序。",
                    "岫澜汇演示安装程序", MB_OK | MB_ICONINFORMATION);
    return 0;
}

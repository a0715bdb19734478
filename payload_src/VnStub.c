/* A stand-in for a program of the installed product (the server, its monitor, the console):
   appends the command line it was started with, as one line, to <own name>.log in its own
   folder, and exits. Installs are checked end to end by reading that log. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show) {
    char path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    char* dot = strrchr(path, '.');
    if (dot == NULL || strchr(dot, '\\') != NULL)
        dot = path + length;
    strcpy(dot, ".log");
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return 1;
    const char* commandLine = GetCommandLineA();
    DWORD written;
    BOOL ok = WriteFile(log, commandLine, (DWORD)strlen(commandLine), &written, NULL) &&
              WriteFile(log, "\r\n", 2, &written, NULL);
    CloseHandle(log);
    return ok ? 0 : 1;
}

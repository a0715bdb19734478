/* Runs a command line and prints the full 32-bit exit code of its process: the exit status of a
   program under Wine keeps only the low 8 bits. Usage: VnRunWait PROGRAM [ARGS...] */
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

/* The command line after the first token (quoted: up to the next quote; else up to the first
   blank) and the blanks that follow it. */
static wchar_t* RestOfCommandLine(wchar_t* line) {
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"')
            ++line;
        if (*line == L'"')
            ++line;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

int main(void) {
    /* Plain "\n" line ends: the output is read by shell scripts. */
    _setmode(_fileno(stdout), _O_BINARY);
    /* CreateProcessW may write into its command line: a copy, not the process's own. */
    wchar_t* command = _wcsdup(RestOfCommandLine(GetCommandLineW()));
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    if (command == NULL ||
        !CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "cannot start: %lu\n", GetLastError());
        return 2;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode;
    BOOL known = GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    free(command);
    if (!known) {
        fprintf(stderr, "no exit code: %lu\n", GetLastError());
        return 2;
    }
    printf("%lu\n", exitCode);
    return 0;
}

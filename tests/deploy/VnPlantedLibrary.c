/* A library planted beside a downloaded setup under the name of a system library that is no
   KnownDLL, built as RstrtMgr.dll: it exports the Restart Manager functions, each failing, and
   writes planted.txt beside itself when a process loads it. */
#include <windows.h>

#include <restartmanager.h>
#include <string.h>

static void WriteMarker(HINSTANCE instance) {
    char path[MAX_PATH + 16];
    DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    char* name = strrchr(path, '\\');
    strcpy(name != NULL ? name + 1 : path, "planted.txt");
    HANDLE marker =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH)
        WriteMarker(instance);
    return TRUE;
}

__declspec(dllexport) DWORD WINAPI RmStartSession(DWORD* session, DWORD flags, WCHAR* key) {
    return ERROR_ACCESS_DENIED;
}

__declspec(dllexport) DWORD WINAPI RmEndSession(DWORD session) {
    return ERROR_ACCESS_DENIED;
}

__declspec(dllexport) DWORD WINAPI
    RmRegisterResources(DWORD session, UINT files, LPCWSTR* fileNames, UINT applications,
                        RM_UNIQUE_PROCESS* processes, UINT services, LPCWSTR* serviceNames) {
    return ERROR_ACCESS_DENIED;
}

__declspec(dllexport) DWORD WINAPI RmGetList(DWORD session, UINT* needed, UINT* count,
                                             RM_PROCESS_INFO* processes, LPDWORD reasons) {
    return ERROR_ACCESS_DENIED;
}

__declspec(dllexport) DWORD WINAPI
    RmShutdown(DWORD session, ULONG flags, RM_WRITE_STATUS_CALLBACK callback) {
    return ERROR_ACCESS_DENIED;
}

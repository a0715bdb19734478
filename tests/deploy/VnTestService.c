/* A minimal Windows service for the deployment tests. With --install, --delete or --state NAME it
   manages the service NAME that runs this program; without arguments it is that service: it
   appends "started" and "stopped" to <own path without extension>.service.log and runs until
   asked to stop. */
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

static SERVICE_STATUS_HANDLE StatusHandle;
static SERVICE_STATUS Status;
static HANDLE StopEvent;

static void ReportState(DWORD state) {
    Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    Status.dwCurrentState = state;
    Status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    Status.dwWaitHint = state == SERVICE_STOP_PENDING ? 2000 : 0;
    SetServiceStatus(StatusHandle, &Status);
}

static BOOL OwnPath(char* path, DWORD size) {
    DWORD length = GetModuleFileNameA(NULL, path, size);
    return length > 0 && length < size;
}

static void AppendToLog(const char* line) {
    char path[MAX_PATH + 16];
    if (!OwnPath(path, MAX_PATH))
        return;
    char* dot = strrchr(path, '.');
    if (dot == NULL || strchr(dot, '\\') != NULL)
        dot = path + strlen(path);
    strcpy(dot, ".service.log");
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(log, line, (DWORD)strlen(line), &written, NULL);
    WriteFile(log, "\r\n", 2, &written, NULL);
    CloseHandle(log);
}

static DWORD WINAPI Handler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context) {
    if (control == SERVICE_CONTROL_STOP) {
        ReportState(SERVICE_STOP_PENDING);
        SetEvent(StopEvent);
        return NO_ERROR;
    }
    return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

static void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
    StatusHandle = RegisterServiceCtrlHandlerExA(argc > 0 ? argv[0] : "", Handler, NULL);
    if (StatusHandle == NULL)
        return;
    StopEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (StopEvent == NULL) {
        Status.dwWin32ExitCode = GetLastError();
        ReportState(SERVICE_STOPPED);
        return;
    }
    AppendToLog("started");
    ReportState(SERVICE_RUNNING);
    WaitForSingleObject(StopEvent, INFINITE);
    AppendToLog("stopped");
    CloseHandle(StopEvent);
    ReportState(SERVICE_STOPPED);
}

static int Failed(const char* what) {
    fprintf(stderr, "%s failed: %lu\n", what, GetLastError());
    return 1;
}

static int Install(SC_HANDLE manager, const char* name) {
    char path[MAX_PATH + 1];
    char binaryPath[MAX_PATH + 3];
    if (!OwnPath(path, MAX_PATH + 1))
        return Failed("GetModuleFileName");
    snprintf(binaryPath, sizeof(binaryPath), "\"%s\"", path);
    SC_HANDLE service = CreateServiceA(
        manager, name, name, SERVICE_QUERY_STATUS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
        SERVICE_ERROR_NORMAL, binaryPath, NULL, NULL, NULL, NULL, NULL);
    if (service == NULL)
        return Failed("CreateService");
    CloseServiceHandle(service);
    return 0;
}

static int Delete(SC_HANDLE manager, const char* name) {
    SC_HANDLE service = OpenServiceA(manager, name, DELETE);
    if (service == NULL)
        return Failed("OpenService");
    BOOL deleted = DeleteService(service);
    int result = deleted ? 0 : Failed("DeleteService");
    CloseServiceHandle(service);
    return result;
}

static const char* StateWord(DWORD state) {
    switch (state) {
    case SERVICE_RUNNING:
        return "running";
    case SERVICE_STOPPED:
        return "stopped";
    default:
        return "pending";
    }
}

static int PrintState(SC_HANDLE manager, const char* name) {
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service == NULL)
        return Failed("OpenService");
    SERVICE_STATUS status;
    BOOL queried = QueryServiceStatus(service, &status);
    int result = queried ? 0 : Failed("QueryServiceStatus");
    if (queried)
        printf("%s\n", StateWord(status.dwCurrentState));
    CloseServiceHandle(service);
    return result;
}

static int Manage(const char* command, const char* name) {
    DWORD access =
        strcmp(command, "--install") == 0 ? SC_MANAGER_CREATE_SERVICE : SC_MANAGER_CONNECT;
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, access);
    if (manager == NULL)
        return Failed("OpenSCManager");
    int result;
    if (strcmp(command, "--install") == 0) {
        result = Install(manager, name);
    } else if (strcmp(command, "--delete") == 0) {
        result = Delete(manager, name);
    } else if (strcmp(command, "--state") == 0) {
        result = PrintState(manager, name);
    } else {
        fprintf(stderr, "unknown command: %s\n", command);
        result = 1;
    }
    CloseServiceHandle(manager);
    return result;
}

int main(int argc, char** argv) {
    /* Plain "\n" line ends: the output is read by shell scripts. */
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 3)
        return Manage(argv[1], argv[2]);
    if (argc != 1) {
        fprintf(stderr, "usage: VnTestService [--install|--delete|--state NAME]\n");
        return 1;
    }
    SERVICE_TABLE_ENTRYA services[] = {{"", ServiceMain}, {NULL, NULL}};
    return StartServiceCtrlDispatcherA(services) ? 0 : Failed("StartServiceCtrlDispatcher");
}

// The platform layer on Windows: the programs that hold files, and closing them, through the
// Restart Manager. rstrtmgr.dll is not a KnownDLL: it is loaded when needed by its full path in the
// system folder, so that no library of that name beside the program can stand in for it.
#include "VnPlatform.h"
#include "VnWin32Text.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <restartmanager.h>

#include <string>
#include <vector>

namespace VnPlatform {

namespace {

// A library of the system folder, loaded by its full path and freed on scope exit. Its own imports
// are looked for in the system folder first (LOAD_WITH_ALTERED_SEARCH_PATH), never in the
// program's. Status() is the system's error once the library or a function could not be had.
class TSystemLibrary {
public:
    explicit TSystemLibrary(const std::wstring& name) : FModule(Load(name)) {
        if (FModule == nullptr)
            FStatus = ::GetLastError();
    }
    ~TSystemLibrary() {
        if (FModule == nullptr)
            return;
        const DWORD error = ::GetLastError();
        ::FreeLibrary(FModule);
        ::SetLastError(error);
    }
    TSystemLibrary(const TSystemLibrary&) = delete;
    TSystemLibrary& operator=(const TSystemLibrary&) = delete;

    DWORD Status() const { return FStatus; }
    // An exported function; null when the library or the function is missing.
    template <typename Function> Function* Find(const char* name) {
        if (FModule == nullptr)
            return nullptr;
        const FARPROC address = ::GetProcAddress(FModule, name);
        if (address == nullptr && FStatus == ERROR_SUCCESS)
            FStatus = ::GetLastError();
        return reinterpret_cast<Function*>(reinterpret_cast<void*>(address));
    }

private:
    static HMODULE Load(const std::wstring& name) {
        wchar_t folder[MAX_PATH + 1];
        const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
        if (length == 0 || length > MAX_PATH)
            return nullptr;
        const std::wstring path = std::wstring(folder, length) + L"\\" + name;
        return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }

    HMODULE FModule;
    DWORD FStatus = ERROR_SUCCESS;
};

// The Restart Manager's functions, for the object's lifetime.
struct TRestartManager {
    TRestartManager()
        : Library(L"rstrtmgr.dll"),
          StartSession(Library.Find<decltype(::RmStartSession)>("RmStartSession")),
          EndSession(Library.Find<decltype(::RmEndSession)>("RmEndSession")),
          RegisterResources(Library.Find<decltype(::RmRegisterResources)>("RmRegisterResources")),
          GetList(Library.Find<decltype(::RmGetList)>("RmGetList")),
          Shutdown(Library.Find<decltype(::RmShutdown)>("RmShutdown")) {}

    TSystemLibrary Library; // declared first: loaded before the functions are looked up
    decltype(&::RmStartSession) const StartSession;
    decltype(&::RmEndSession) const EndSession;
    decltype(&::RmRegisterResources) const RegisterResources;
    decltype(&::RmGetList) const GetList;
    decltype(&::RmShutdown) const Shutdown;
};

// A Restart Manager session with files registered, ended on scope exit.
class TRestartSession {
public:
    TRestartSession(const TRestartManager& manager, const std::vector<std::string>& files)
        : FManager(manager) {
        WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
        FStatus = FManager.Library.Status();
        if (FStatus == ERROR_SUCCESS)
            FStatus = FManager.StartSession(&FSession, 0, key);
        FStarted = FStatus == ERROR_SUCCESS;
        if (FStarted)
            FStatus = Register(files);
    }
    ~TRestartSession() {
        if (FStarted)
            FManager.EndSession(FSession);
    }
    TRestartSession(const TRestartSession&) = delete;
    TRestartSession& operator=(const TRestartSession&) = delete;

    // ERROR_SUCCESS once the session has started with the files registered.
    DWORD Status() const { return FStatus; }
    // The processes that hold a registered file.
    DWORD Holders(std::vector<RM_PROCESS_INFO>& processes) const {
        UINT needed = 0, count = 0;
        DWORD reasons = 0;
        processes.clear();
        DWORD result = FManager.GetList(FSession, &needed, &count, nullptr, &reasons);
        while (result == ERROR_MORE_DATA) {
            processes.resize(needed);
            count = needed;
            result = FManager.GetList(FSession, &needed, &count, processes.data(), &reasons);
        }
        processes.resize(result == ERROR_SUCCESS ? count : 0);
        return result;
    }
    // Closes the holders, ending those that do not close when asked.
    DWORD ForceShutdown() const { return FManager.Shutdown(FSession, RmForceShutdown, nullptr); }

private:
    DWORD Register(const std::vector<std::string>& files) const {
        std::vector<std::wstring> wideFiles;
        for (const std::string& file : files)
            wideFiles.push_back(Widen(file, CP_ACP));
        std::vector<LPCWSTR> names;
        for (const std::wstring& file : wideFiles)
            names.push_back(file.c_str());
        return FManager.RegisterResources(FSession, static_cast<UINT>(names.size()), names.data(),
                                          0, nullptr, 0, nullptr);
    }

    const TRestartManager& FManager;
    DWORD FSession = 0;
    DWORD FStatus = ERROR_SUCCESS;
    bool FStarted = false;
};

// The processes that hold any of files, as a session of their own sees them now.
DWORD ListHolders(const TRestartManager& manager, const std::vector<std::string>& files,
                  std::vector<RM_PROCESS_INFO>& holders) {
    const TRestartSession session(manager, files);
    return session.Status() == ERROR_SUCCESS ? session.Holders(holders) : session.Status();
}

DWORD ShutDownHolders(const TRestartManager& manager, const std::vector<std::string>& files) {
    const TRestartSession session(manager, files);
    return session.Status() == ERROR_SUCCESS ? session.ForceShutdown() : session.Status();
}

} // namespace

std::string FileHolders(const std::string& path) {
    const TRestartManager manager;
    std::vector<RM_PROCESS_INFO> holders;
    std::string names;
    if (ListHolders(manager, {path}, holders) != ERROR_SUCCESS)
        return names;
    for (const RM_PROCESS_INFO& holder : holders) {
        const std::string name = Narrow(holder.strAppName, CP_ACP);
        if (!name.empty())
            names += (names.empty() ? "" : ", ") + name;
    }
    return names;
}

bool CloseFileHolders(const std::vector<std::string>& files) {
    const TRestartManager manager;
    const DWORD shutdown = ShutDownHolders(manager, files);
    std::vector<RM_PROCESS_INFO> holders;
    const DWORD checked = ListHolders(manager, files, holders);
    if (checked == ERROR_SUCCESS && holders.empty())
        return true;
    ::SetLastError(checked != ERROR_SUCCESS    ? checked
                   : shutdown != ERROR_SUCCESS ? shutdown
                                               : ERROR_SHARING_VIOLATION);
    return false;
}

} // namespace VnPlatform

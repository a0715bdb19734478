#include "VnStoppedServices.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "VnExitCodes.h"
#include "VnInstallLog.h"
#include "VnPlatform.h"
#include "VnSysUtils.h"

namespace {

std::string LastErrorText() {
    const uint32_t code = VnPlatform::LastError();
    return Format("error %u, %s", code, SysErrorMessage(code).c_str());
}

std::vector<VnPlatform::ServiceEntry> ServicesOf(const std::vector<std::string>& programs) {
    std::vector<VnPlatform::ServiceEntry> services;
    if (!VnPlatform::ServicesOfPrograms(programs, services))
        throw EVnSetupExit(VnExitCode::Fatal, "The services cannot be listed: " + LastErrorText());
    return services;
}

// Deletes a service that was just listed. One created a moment ago may not open yet (Wine's
// Service Control Manager answers "does not exist" for a while): that answer is tried again for a
// few seconds before it is taken as final.
bool DeleteListedService(const std::string& name) {
    constexpr auto retryTime = std::chrono::seconds(10);
    const auto deadline = std::chrono::steady_clock::now() + retryTime;
    while (!VnPlatform::DeleteService(name)) {
        if (VnPlatform::LastError() != VnPlatform::ERROR_SERVICE_DOES_NOT_EXIST_CODE ||
            std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return true;
}

[[noreturn]] void Fail(const std::string& format, const std::string& service) {
    throw EVnSetupExit(VnExitCode::Fatal, FormatText(format, service, LastErrorText()));
}

} // namespace

TVnServiceTexts InstallServiceTexts() {
    return {InstallLogText(ltServiceStopped), InstallLogText(ltServiceNotStopped),
            InstallLogText(ltServiceStarted), InstallLogText(ltServiceNotStarted),
            InstallLogText(ltServiceDeleted), InstallLogText(ltServiceNotDeleted)};
}

TVnStoppedServices::~TVnStoppedServices() {
    for (const std::string& name : FStopped) {
        if (VnPlatform::StartService(name))
            InstallLog().Add(FormatText(FTexts.Started, name));
        else
            InstallLog().Add(FormatText(FTexts.NotStarted, name, LastErrorText()));
    }
}

void TVnStoppedServices::Stop(const std::vector<std::string>& programs) {
    for (const VnPlatform::ServiceEntry& service : ServicesOf(programs)) {
        if (!service.Running)
            continue;
        if (!VnPlatform::StopService(service.Name, TimeLimit))
            Fail(FTexts.NotStopped, service.Name);
        FStopped.push_back(service.Name);
        InstallLog().Add(FormatText(FTexts.Stopped, service.Name));
    }
}

void TVnStoppedServices::DeleteAll(const std::vector<std::string>& programs) {
    const std::vector<VnPlatform::ServiceEntry> services = ServicesOf(programs);
    for (const VnPlatform::ServiceEntry& service : services) {
        if (!DeleteListedService(service.Name))
            Fail(FTexts.NotDeleted, service.Name);
        FStopped.erase(std::remove(FStopped.begin(), FStopped.end(), service.Name), FStopped.end());
        InstallLog().Add(FormatText(FTexts.Deleted, service.Name));
    }
    // The system removes a deleted service once its last handle is closed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeLimit);
    while (!services.empty() && !ServicesOf(programs).empty() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
}

void CloseFileHolders(const std::vector<std::string>& files) {
    const bool closed = VnPlatform::CloseFileHolders(files);
    InstallLog().Write(ltHoldersClosed, std::to_string(files.size()).c_str(),
                       InstallLogText(closed ? ltDone : ltNotDone).c_str());
}

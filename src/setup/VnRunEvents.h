// The event that every run of the setup or the uninstaller leaves in the system's application log
// when it ends. Its ID is the one the system's own installer gives the same fact, so that a query
// written for those needs only the source changed; its one insertion string is the whole text,
// readable whether or not the message file is still there.
#pragma once

#include <functional>
#include <string>
#include <vector>

extern const char* const EventSourceName; // "Vantro Mail Server Setup"

enum class TVnRunKind { Installation, Removal };

struct TVnRunEvent {
    unsigned Id = 0; // 11707 installed, 11708 installation failed, 11724 removed, 11725 failed
    bool Failure = false;
    std::string Text;
};

// What a run that ended with exitCode tells: the product, the folder, the exit code and the log
// files (empty ones are left out). A restart still needed (3010) is a success.
TVnRunEvent RunEvent(TVnRunKind kind, int exitCode, const std::string& folder,
                     const std::vector<std::string>& logFiles);

// Where events go: the application log under EventSourceName, with messageFile (a program that
// carries the message table; empty: none) registered for it. Tests put their own sink here.
using TVnEventSink = std::function<void(const TVnRunEvent& event, const std::string& messageFile)>;
TVnEventSink& RunEventSink();

// The event of the run that just ended, sent to the sink: the folder of the install log's file
// (else folder, the one asked for), its logs, and as message file the folder's uninstaller where
// there is one, the program that stays while the installation does (else none: the registration
// stays as it was). Never raises: an event that cannot be written changes nothing. Answers
// exitCode.
int ReportRunEnd(TVnRunKind kind, int exitCode, const std::string& folder);

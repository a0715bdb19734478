#include "VnInstallLog.h"

#include <array>
#include <ctime>

namespace {

std::array<std::string, ltCount> Texts = {
    "Package \"%s\": signature correct; no Authenticode certificate table",
    "Package \"%s\": signature correct; Authenticode certificate table of %s bytes, not checked "
    "here",
    "Full installation into \"%s\"",
    "Console-only installation into \"%s\"",
    "Configuration upgrade in \"%s\"",
    "First-generation import in \"%s\"",
    "Extracted \"%s\": %s files, %s bytes",
    "First-generation import: nothing converted, \"%s\" or \"%s\" exists",
    "First-generation import: nothing converted, no \"%s\"",
    "First-generation import: nothing converted, \"%s\" is not a first-generation configuration",
    "First-generation import: \"%s\" converted into \"%s\" and \"%s\"; domain %s, %s users, %s "
    "remote mailboxes, %s sorting rules, %s IP rules, %s schedules",
    "First-generation import: move \"%s\" to \"%s\": %s",
    "First-generation import: remove the folder \"%s\": %s",
    "done",
    "not done",
    "Read \"%s\": version %s",
    "\"%s\" not found: the default database takes its place",
    "\"%s\" is empty: the default database takes its place",
    "\"%s\" (version %s) has neither RASConnections nor TimeRanges: the default database takes its "
    "place",
    "\"%s\" not found: no state database",
    "\"%s\": upgrade steps %s applied",
    "\"%s\": no upgrade step applies",
    "Kept \"%s\" as \"%s\"",
    "Written \"%s\"",
    "Administrator: %s, new password set",
    "Administrator: %s, password unchanged",
    "Console configuration \"%s\" read and updated",
    "Console configuration \"%s\" not found or empty: made from the template",
    "Console configuration \"%s\" is of an old version: replaced by the template",
    "Console configuration \"%s\" is damaged (%s): kept as \"%s\" and replaced by the template",
    "Started: %s",
    "Could not start: %s",
    "Service %s stopped for the installation",
    "Service %s did not stop: %s",
    "Service %s started again",
    "Service %s could not be started again: %s",
    "Service %s deleted",
    "Service %s could not be deleted: %s",
    "Programs holding %s files asked to close: %s",
    "Answers saved to \"%s\"",
    "Entry in Apps written: %s\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s",
    "The folder \"%s\" lets ordinary users create or change files, so any of them could replace "
    "a program that runs from it as SYSTEM; protect it with: %s",
    "The copy of this log \"%s\" cannot be written now: its lines wait for the next attempt",
    "Message: %s",
};

const char* const LogFileName = "VNT_Setup.log";

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

// A line of the log: the time, the text with its line breaks as blanks, CR LF.
std::string Stamped(const std::string& line) {
    std::string text = Timestamp() + "  ";
    for (char c : line)
        text += c == '\r' || c == '\n' ? ' ' : c;
    return text + "\r\n";
}

} // namespace

std::vector<std::string*> InstallLogTexts() {
    std::vector<std::string*> table;
    for (std::string& text : Texts)
        table.push_back(&text);
    return table;
}

const std::string& InstallLogText(TVnLogText text) {
    return Texts[text];
}

void TVnInstallLog::Begin() {
    FCopyFailureLogged = false;
    FLog.FileName.clear();
    FLog.Pending.clear();
    FCopy.Pending.clear();
}

void TVnInstallLog::SetFolder(const std::string& folder) {
    // Absolute: the installation changes the current directory.
    FLog.FileName = IncludeTrailingPathDelimiter(ExpandFileName(folder)) + LogFileName;
}

void TVnInstallLog::Add(const std::string& line) {
    if (FMuted)
        return;
    const std::string text = Stamped(line);
    FLog.Pending.push_back(text);
    if (!FCopy.FileName.empty())
        FCopy.Pending.push_back(text);
}

bool TVnInstallLog::TTarget::Flush() {
    if (FileName.empty() || Pending.empty())
        return true;
    // Appended in place with one write, never through a link: a log in a folder that others may
    // write cannot be turned into a write elsewhere, and a viewer or another writer may hold it.
    const VnPlatform::FileHandle file = VnPlatform::OpenFileAppend(FileName);
    if (file == VnPlatform::InvalidFile)
        return false; // the lines wait for the next flush; the installation goes on
    std::string text;
    for (const std::string& line : Pending)
        text += line;
    uint32_t written = 0;
    const bool complete =
        VnPlatform::WriteFile(file, text.data(), static_cast<uint32_t>(text.size()), written) &&
        written == text.size();
    if (complete)
        Pending.clear();
    VnPlatform::CloseFile(file);
    return complete;
}

void TVnInstallLog::Flush() {
    if (!FCopy.FileName.empty() && !FCopy.Pending.empty())
        VnPlatform::CreateDirectory(ExtractFileDir(FCopy.FileName)); // one level, as a log's place
    if (!FCopy.Flush() && !FCopyFailureLogged && !FMuted) {
        FCopyFailureLogged = true; // said in the folder's own log, once
        FLog.Pending.push_back(
            Stamped(FormatText(InstallLogText(ltCopyNotWritten), FCopy.FileName)));
    }
    if (!FLog.FileName.empty() && VnPlatform::DirectoryExists(ExtractFileDir(FLog.FileName)))
        FLog.Flush();
}

void TVnInstallLog::End() {
    Flush();
    FEndedFileName = FLog.FileName;
    Begin();
}

int TVnInstallLog::Run(const std::string& folder, const std::function<int()>& work) {
    Begin();
    if (!folder.empty())
        SetFolder(folder);
    try {
        const int code = work();
        End();
        return code;
    } catch (const std::exception& e) {
        if (!dynamic_cast<const EAbort*>(&e))
            Write(ltMessage, e.what());
        End();
        throw;
    }
}

TVnInstallLog& InstallLog() {
    static TVnInstallLog log;
    return log;
}

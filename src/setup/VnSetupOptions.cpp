#include "VnSetupOptions.h"

#include <algorithm>

#include "VnExitCodes.h"
#include "VnInputText.h"
#include "VnSysUtils.h"
#include "fMain.h"

namespace {

[[noreturn]] void Refuse(const std::string& reason) {
    throw EVnSetupExit(VnExitCode::BadSwitch, reason);
}

const char* const OfferedLanguages[] = {"en", "ru"};

// The finish page's choices by the names of /TASKS.
struct TVnTask {
    const char* Name;
    bool TVnInstallAnswers::*Choice;
};
const TVnTask Tasks[] = {{"start", &TVnInstallAnswers::StartServer},
                         {"service", &TVnInstallAnswers::RegisterService}};

template <class T, size_t N> const T* FindByName(const T (&table)[N], const std::string& name) {
    for (const T& entry : table)
        if (SameTextAscii(entry.Name, name))
            return &entry;
    return nullptr;
}

// "name" ticks the task, "!name" clears it.
void SetTask(TVnInstallAnswers& answers, const std::string& item) {
    const bool tick = item.empty() || item[0] != '!';
    const std::string name = tick ? item : item.substr(1);
    const TVnTask* task = FindByName(Tasks, name);
    if (!task)
        Refuse(Format("Unknown task \"%s\"", name.c_str()));
    answers.*task->Choice = tick;
}

void SetTasks(TVnInstallAnswers& answers, const std::string& list) {
    for (size_t begin = 0; begin <= list.size();) {
        const size_t end = std::min(list.find(',', begin), list.size());
        SetTask(answers, list.substr(begin, end - begin));
        begin = end + 1;
    }
}

std::string GetTasks(const TVnInstallAnswers& answers) {
    std::string list;
    for (const TVnTask& task : Tasks)
        list +=
            (list.empty() ? "" : ",") + std::string(answers.*task.Choice ? "" : "!") + task.Name;
    return list;
}

void SetType(TVnInstallAnswers& answers, const std::string& type) {
    if (SameTextAscii(type, "full"))
        answers.ConsoleOnly = false;
    else if (SameTextAscii(type, "console"))
        answers.ConsoleOnly = true;
    else
        Refuse(Format("Type \"%s\" is neither full nor console", type.c_str()));
}

// The answers as switches and as keys of the answer file.
struct TVnAnswerKey {
    const char* Name;
    void (*Set)(TVnInstallAnswers& answers, const std::string& value);
    std::string (*Get)(const TVnInstallAnswers& answers);
};
const TVnAnswerKey AnswerKeys[] = {
    {"Dir", [](TVnInstallAnswers& a, const std::string& v) { a.Folder = v; },
     [](const TVnInstallAnswers& a) { return a.Folder; }},
    {"Lang", [](TVnInstallAnswers& a, const std::string& v) { a.Language = v; },
     [](const TVnInstallAnswers& a) { return a.Language; }},
    {"Type", SetType,
     [](const TVnInstallAnswers& a) { return std::string(a.ConsoleOnly ? "console" : "full"); }},
    {"Tasks", SetTasks, GetTasks},
    {"Admin", [](TVnInstallAnswers& a, const std::string& v) { a.Admin = v; },
     [](const TVnInstallAnswers& a) { return a.Admin; }},
};

// The switches that set up the run rather than answer the wizard.
struct TVnRunSwitch {
    const char* Name;
    bool TakesValue;
    void (*Apply)(TVnSetupOptions& options, const std::string& value);
};
const TVnRunSwitch RunSwitches[] = {
    {"SILENT", false,
     [](TVnSetupOptions& o, const std::string&) { o.Mode = std::max(o.Mode, TVnRunMode::Silent); }},
    {"VERYSILENT", false,
     [](TVnSetupOptions& o, const std::string&) { o.Mode = TVnRunMode::VerySilent; }},
    {"SUPPRESSMSGBOXES", false,
     [](TVnSetupOptions& o, const std::string&) { o.SuppressMessageBoxes = true; }},
    {"NORESTART", false, [](TVnSetupOptions& o, const std::string&) { o.NoRestart = true; }},
    {"CLOSEAPPLICATIONS", false,
     [](TVnSetupOptions& o, const std::string&) { o.CloseApplications = true; }},
    {"?", false, [](TVnSetupOptions& o, const std::string&) { o.Help = true; }},
    {"PASSWORDFILE", true,
     [](TVnSetupOptions& o, const std::string& v) {
         o.Answers.HasPassword = true;
         o.Answers.Password = ReadPasswordFile(v);
     }},
    {"LOG", true, [](TVnSetupOptions& o, const std::string& v) { o.LogFile = v; }},
    {"SAVEINF", true, [](TVnSetupOptions& o, const std::string& v) { o.SaveInf = v; }},
    {"LOADINF", true, [](TVnSetupOptions& o, const std::string& v) { LoadAnswers(v, o.Answers); }},
};

const TVnAnswerNames SwitchNames = {"Switch /DIR", "Switch /LANG", "Switch /PASSWORDFILE"};

std::string Unquoted(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// One word "/NAME" or "/NAME=value".
struct TVnSwitchWord {
    std::string Word, Name, Value;
    bool HasValue;
};

TVnSwitchWord SplitSwitch(const std::string& word) {
    if (word.size() < 2 || word[0] != '/')
        Refuse(Format("Unknown switch %s", word.c_str()));
    const size_t equals = word.find('=');
    if (equals == std::string::npos)
        return {word, word.substr(1), "", false};
    return {word, word.substr(1, equals - 1), Unquoted(word.substr(equals + 1)), true};
}

const std::string& NeedValue(const TVnSwitchWord& word) {
    if (word.Value.empty())
        Refuse(Format("Switch /%s needs a value", word.Name.c_str()));
    return word.Value;
}

void ApplySwitch(TVnSetupOptions& options, const TVnSwitchWord& word) {
    if (const TVnAnswerKey* key = FindByName(AnswerKeys, word.Name)) {
        key->Set(options.Answers, NeedValue(word));
    } else if (const TVnRunSwitch* run = FindByName(RunSwitches, word.Name)) {
        if (!run->TakesValue && word.HasValue)
            Refuse(Format("Switch /%s takes no value", word.Name.c_str()));
        run->Apply(options, run->TakesValue ? NeedValue(word) : "");
    } else {
        Refuse(Format("Unknown switch %s", word.Word.c_str()));
    }
}

// An answer file is a few lines; anything larger is something else.
constexpr size_t AnswerFileLimit = 64 * 1024;

// The lines of decoded text, without their line ends (CR LF, LF or CR).
std::vector<TVnInputText> InputLines(const TVnInputText& text) {
    std::vector<TVnInputText> lines;
    for (size_t begin = 0; begin < text.size();) {
        const size_t end = std::min(text.find_first_of(U"\r\n", begin), text.size());
        lines.push_back(text.substr(begin, end - begin));
        begin = end + (text.compare(end, 2, U"\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

std::string ModelText(const TVnInputText& text, const std::string& what) {
    std::string model;
    if (!ToModelText(text, model))
        Refuse(Format("%s holds a character that the setup cannot store", what.c_str()));
    return model;
}

void CheckLength(const std::string& value, size_t limit, const std::string& name) {
    if (value.size() > limit)
        Refuse(
            Format("%s is longer than %u characters", name.c_str(), static_cast<unsigned>(limit)));
}

} // namespace

const char* const SetupUsage =
    "VNT_Setup.exe [/SILENT | /VERYSILENT] [/SUPPRESSMSGBOXES] [/DIR=\"folder\"] "
    "[/LANG=en|ru] [/TYPE=full|console] [/TASKS=\"start,service\"] [/ADMIN=name@domain] "
    "[/PASSWORDFILE=\"file\"] [/LOG=\"file\"] [/LOADINF=\"file\"] [/SAVEINF=\"file\"] "
    "[/NORESTART] [/CLOSEAPPLICATIONS]\n\n"
    "/SILENT shows only the progress, /VERYSILENT nothing; /SUPPRESSMSGBOXES shows no message. "
    "In /TASKS, \"!\" clears a task. The password is read from the first line of the "
    "/PASSWORDFILE file, never from the command line; answer files hold no password.\n\n"
    "Exit codes: 0 success, 3010 success with a restart needed, 1602 cancelled, 1603 failed "
    "(see the log), 1618 another setup is running, 87 a bad switch or answer.";

const char* const UninstallUsage =
    "VNT_Uninstall.exe [/SILENT | /VERYSILENT] [/SUPPRESSMSGBOXES] [/LOG=\"file\"] "
    "[/NORESTART]\n\n"
    "Removes the program files; the configuration, the mail and the logs are kept. /SILENT and "
    "/VERYSILENT do not ask first.\n\n"
    "Exit codes: 0 success, 1602 cancelled, 1603 failed (see the log), 1618 another setup is "
    "running, 87 a bad switch.";

bool IsFileSwitch(const std::string& name) {
    const TVnRunSwitch* run = FindByName(RunSwitches, name);
    return run && run->TakesValue;
}

TVnSetupOptions ParseUninstallOptions(const std::vector<std::string>& words) {
    static const char* const uninstallSwitches[] = {"SILENT",    "VERYSILENT", "SUPPRESSMSGBOXES",
                                                    "NORESTART", "LOG",        "?"};
    TVnSetupOptions options;
    for (const std::string& word : words) {
        const TVnSwitchWord split = SplitSwitch(word);
        if (std::none_of(std::begin(uninstallSwitches), std::end(uninstallSwitches),
                         [&](const char* name) { return SameTextAscii(name, split.Name); }))
            Refuse(Format("Unknown switch %s", word.c_str()));
        ApplySwitch(options, split);
    }
    return options;
}

TVnSetupOptions ParseRunSwitches(const std::vector<std::string>& words) {
    TVnSetupOptions options;
    for (const std::string& word : words) {
        try {
            const TVnSwitchWord split = SplitSwitch(word);
            const TVnRunSwitch* run = FindByName(RunSwitches, split.Name);
            // Nothing that reads a file: a refusal must still be reported as asked.
            if (run && (!run->TakesValue || SameTextAscii(split.Name, "LOG")))
                ApplySwitch(options, split);
        } catch (const EVnSetupExit&) {
        }
    }
    return options;
}

TVnSetupOptions ParseSetupOptions(const std::vector<std::string>& words) {
    TVnSetupOptions options;
    for (const bool answerFiles : {true, false})
        for (const std::string& word : words) {
            const TVnSwitchWord split = SplitSwitch(word);
            if (SameTextAscii(split.Name, "LOADINF") == answerFiles)
                ApplySwitch(options, split);
        }
    CheckAnswers(options.Answers, SwitchNames);
    return options;
}

void CheckOutputFiles(const TVnSetupOptions& options) {
    const auto refuse = [](const char* name, const std::string& file) {
        Refuse(Format("Switch /%s: \"%s\" cannot be written", name, file.c_str()));
    };
    if (!options.LogFile.empty()) {
        const std::string log = ExpandFileName(options.LogFile);
        VnPlatform::CreateDirectory(ExtractFileDir(log));
        const VnPlatform::FileHandle file = VnPlatform::OpenFileAppend(log);
        if (file == VnPlatform::InvalidFile)
            refuse("LOG", log);
        VnPlatform::CloseFile(file);
    }
    if (!options.SaveInf.empty()) {
        const std::string saveInf = ExpandFileName(options.SaveInf);
        uint32_t random[2] = {};
        VnPlatform::RandomBytes(random, sizeof random);
        const std::string probe =
            ExtractFilePath(saveInf) + Format("~vnt%08x%08x.tmp", random[0], random[1]);
        const VnPlatform::FileHandle file = VnPlatform::CreateNewFile(probe);
        if (file == VnPlatform::InvalidFile)
            refuse("SAVEINF", saveInf);
        VnPlatform::CloseFile(file);
        VnPlatform::DeleteFile(probe);
    }
}

void LoadAnswers(const std::string& fileName, TVnInstallAnswers& answers) {
    bool complete = false;
    const std::string bytes = ReadInputFile(fileName, AnswerFileLimit, complete);
    if (!complete)
        Refuse(Format("File \"%s\" is larger than %u KB: it is no answer file", fileName.c_str(),
                      static_cast<unsigned>(AnswerFileLimit / 1024)));
    bool inSetup = false, hasSetup = false;
    std::vector<const TVnAnswerKey*> given;
    unsigned number = 0;
    // A line that is not an answer is named by its number and key only: it may hold a secret.
    for (const TVnInputText& text : InputLines(DecodeInputText(bytes, fileName))) {
        ++number;
        const std::string where = Format("line %u of \"%s\"", number, fileName.c_str());
        if (text.empty() || text[0] == U';')
            continue;
        if (text[0] == U'[') {
            inSetup = text.size() == 7 && SameTextAscii(ModelText(text, where), "[Setup]");
            hasSetup = hasSetup || inSetup;
            continue;
        }
        if (!inSetup)
            continue;
        const size_t equals = text.find(U'=');
        const std::string key = ModelText(text.substr(0, equals), "The key in " + where);
        const TVnAnswerKey* answer = FindByName(AnswerKeys, key);
        if (equals == TVnInputText::npos)
            Refuse(Format("The %s is not an answer", where.c_str()));
        if (!answer)
            Refuse(Format("Key \"%s\" in %s is not an answer", key.c_str(), where.c_str()));
        if (std::find(given.begin(), given.end(), answer) != given.end())
            Refuse(Format("Key %s is given twice in \"%s\"", answer->Name, fileName.c_str()));
        given.push_back(answer);
        const std::string value =
            Unquoted(ModelText(text.substr(equals + 1),
                               Format("The value of key %s in %s", answer->Name, where.c_str())));
        if (value.empty())
            Refuse(Format("Key %s of \"%s\" needs a value", key.c_str(), fileName.c_str()));
        answer->Set(answers, value);
    }
    if (!hasSetup)
        Refuse(
            Format("File \"%s\" has no [Setup] section: it is no answer file", fileName.c_str()));
}

void SaveAnswers(const std::string& fileName, const TVnInstallAnswers& answers) {
    std::string text = "[Setup]\r\n";
    for (const TVnAnswerKey& key : AnswerKeys) {
        const std::string value = key.Get(answers);
        if (!value.empty())
            text += std::string(key.Name) + "=" + value + "\r\n";
    }
    WriteFileAtomic(fileName, text);
}

std::string ReadPasswordFile(const std::string& fileName) {
    // Enough for a byte-order mark and the longest password with its line end in any encoding.
    constexpr size_t limit = 4 + 4 * (TfrmMain::PasswordMaxLength + 2);
    bool complete = false;
    std::string bytes = ReadInputFile(fileName, limit, complete);
    if (!complete)
        bytes.resize(bytes.size() & ~size_t(3)); // whole UTF-16 units at least: the rest is cut
    const auto refuse = [&fileName](const char* reason) {
        Refuse(Format("Password file \"%s\": %s", fileName.c_str(), reason));
    };
    TVnInputText text;
    try {
        text = DecodeInputText(bytes, fileName);
    } catch (const EVnSetupExit&) {
        if (complete)
            throw;
        refuse("its first line is longer than a password may be"); // cut inside a character
    }
    const size_t end = text.find_first_of(U"\r\n");
    const TVnInputText line = text.substr(0, end);
    if ((end == TVnInputText::npos && !complete) || line.size() > TfrmMain::PasswordMaxLength)
        refuse("its first line is longer than a password may be");
    if (line.find_first_not_of(U" \t") == TVnInputText::npos)
        refuse("its first line is empty");
    std::string password;
    if (!ToModelText(line, password))
        refuse("the password holds a character that the configuration cannot store");
    return password;
}

void CheckAnswers(const TVnInstallAnswers& answers, const TVnAnswerNames& names) {
    CheckLength(answers.Folder, TfrmMain::FolderMaxLength, names.Folder);
    if (answers.Folder.find('?') != std::string::npos)
        Refuse(Format("%s: \"%s\" has a character that the configuration cannot store",
                      names.Folder.c_str(), answers.Folder.c_str()));
    CheckLength(answers.Password, TfrmMain::PasswordMaxLength, names.Password);
    if (answers.HasPassword && answers.Password.empty())
        Refuse(Format("%s: the password is empty", names.Password.c_str()));
    if (!answers.Language.empty() &&
        std::none_of(std::begin(OfferedLanguages), std::end(OfferedLanguages),
                     [&](const char* code) { return answers.Language == code; }))
        Refuse(Format("%s: language \"%s\" is not offered", names.Language.c_str(),
                      answers.Language.c_str()));
}

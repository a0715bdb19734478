// Scale of the first-generation import: a legacy configuration of 10,000 users, 2,000 remote
// mailboxes on 200 servers, 5,000 IP rules and 1,000 sorting rules, converted by
// ConvertLegacyConfig (read, both databases written and committed), against the same with half of
// everything. Then a crafted file of 80,000 dial-up entries, each named by a schedule (a lookup of
// each task's connection by name), against one of 40,000. Linear growth gives ratios close to 2.
//
//   bench_legacy [SCALE [FOLDER]]   SCALE multiplies every count (default 1); the conversions run
//                                   in a scratch folder under FOLDER (default: the temporary
//                                   folder; a memory file system such as /dev/shm keeps the
//                                   disk's flush times out of the figures)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "VnCfgConvertor1.h"
#include "VnSysUtils.h"

// The test-side writer of first-generation streams builds the configuration.
#include "LegacyStreamWriter.h"

namespace {

struct TCounts {
    int Users, Mailboxes, Servers, IPRules, SortingRules;
};

TCounts Scaled(const TCounts& counts, double factor) {
    const auto scale = [factor](int n) { return static_cast<int>(n * factor); };
    return {scale(counts.Users), scale(counts.Mailboxes), scale(counts.Servers),
            scale(counts.IPRules), scale(counts.SortingRules)};
}

std::string MakeLegacyFile(const TCounts& n) {
    TLegacyConfig c;
    c.LaunchCount = "1000";
    c.Settings.Str(SettingsTag::DomainName, "example.ru")
        .Str(SettingsTag::PostmasterAddress, "admin");
    std::vector<TLegacyObject> users, mailboxes, rules, sorting;
    for (int i = 0; i < n.Users; ++i) {
        const std::string id = std::to_string(i);
        users.push_back(TLegacyObject()
                            .Str(UserTag::FullName, "User Number " + id)
                            .Str(UserTag::Name, "user" + id)
                            .Password(UserTag::Password, "secret" + id)
                            .Str(UserTag::Description, "Department & <office> " + id)
                            .Bool(UserTag::Enabled, 1));
    }
    for (int i = 0; i < n.Mailboxes; ++i)
        mailboxes.push_back(
            TLegacyObject()
                .Str(MailboxTag::Address, "pop" + std::to_string(i % n.Servers) + ".provider.net")
                .Int(MailboxTag::Port, 110)
                .Int(MailboxTag::Timeout, 30000)
                .Bool(MailboxTag::Enabled, 1)
                .Str(MailboxTag::User, "box" + std::to_string(i))
                .Password(MailboxTag::Password, "pw")
                .Str(MailboxTag::Recipient, "user1, user2"));
    for (int i = 0; i < n.IPRules; ++i)
        rules.push_back(TLegacyObject()
                            .Int(IPRuleTag::FromIP, 0x0A000000 + 2 * i)
                            .Int(IPRuleTag::ToIP, 0x0A000000 + 2 * i + (i % 2))
                            .Bool(IPRuleTag::Allow, i % 3 != 0)
                            .Bool(IPRuleTag::ForSMTP, 1)
                            .Bool(IPRuleTag::ForPOP3, 1));
    for (int i = 0; i < n.SortingRules; ++i)
        sorting.push_back(TLegacyObject()
                              .Str(SortingRuleTag::Header, "Subject")
                              .Str(SortingRuleTag::Value, "report " + std::to_string(i))
                              .Strings(SortingRuleTag::Recipients, {"user1", "user2", "user3"}));
    c.UserMgr.Collection(ListTag, users);
    c.POP3Collector.Collection(ListTag, mailboxes);
    c.IPFilter.Collection(ListTag, rules);
    c.QueueMgr.Collection(QueueMgrTag::Rules, sorting);
    return LegacyFile(c.Root());
}

// Dial-up entries named c0, c1, ... and a quarter as many schedules, each with its own dial-up
// settings naming an entry near the end of the list.
std::string MakeDialUpFile(int entries) {
    TLegacyConfig c;
    c.Settings.Str(SettingsTag::DomainName, "example.ru");
    std::vector<TLegacyObject> dialUp, schedules;
    for (int i = 0; i < entries; ++i)
        dialUp.push_back(TLegacyObject().Str(DialUpEntryTag::Name, "c" + std::to_string(i)));
    for (int i = 0; i < entries / 4; ++i)
        schedules.push_back(
            TLegacyObject()
                .Bool(ScheduleTag::OwnDialUp, 1)
                .Bool(ScheduleTag::UseDialUp, 1)
                .Bool(ScheduleTag::UseNamedConnection, 1)
                .Str(ScheduleTag::ConnectionName, "c" + std::to_string(entries - 1 - i % 16)));
    c.DialUp.Collection(ListTag, dialUp);
    c.Scheduler.Collection(ListTag, schedules);
    return LegacyFile(c.Root());
}

struct TTimes {
    double Wall = 1e9, Cpu = 1e9; // best of the rounds, seconds
};

// One conversion of the file; the best times are kept.
void TimeConversion(const std::string& legacy, TTimes& times) {
    {
        TVnFileStream file(LegacyCfgFile, TVnFileStream::Mode::Create);
        file.WriteBuffer(legacy.data(), legacy.size());
    }
    const auto wall = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    if (ConvertLegacyConfig().Outcome != TVnLegacyImport::Converted)
        throw EVnException("not converted");
    times.Cpu = std::min(times.Cpu, static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
    times.Wall = std::min(
        times.Wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count());
    VnPlatform::DeleteFile(ServerCfgFile);
    VnPlatform::DeleteFile(StateCfgFile);
}

} // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const TCounts full = Scaled({10000, 2000, 200, 5000, 1000}, scale);
    const TCounts half = Scaled(full, 0.5);

    const std::string base =
        argc > 2 ? IncludeTrailingPathDelimiter(argv[2]) : VnPlatform::TempFolder();
    const std::string folder = base + "vnt-bench-legacy";
    VnPlatform::CreateDirectory(folder);
    OSCheck(VnPlatform::SetCurrentDirectory(folder));
    try {
        const std::string fullFile = MakeLegacyFile(full), halfFile = MakeLegacyFile(half);
        // Interleaved, so that both sizes see the same load of the machine.
        TTimes halfTimes, fullTimes;
        for (int round = 0; round < 9; ++round) {
            TimeConversion(halfFile, halfTimes);
            TimeConversion(fullFile, fullTimes);
        }
        std::printf("%-6s %7s %10s %8s %9s %9s %9s %9s %9s\n", "run", "users", "mailboxes",
                    "servers", "IP rules", "sorting", "file KB", "wall s", "CPU s");
        const auto row = [](const char* name, const TCounts& n, size_t bytes, const TTimes& t) {
            std::printf("%-6s %7d %10d %8d %9d %9d %9.1f %9.4f %9.4f\n", name, n.Users, n.Mailboxes,
                        n.Servers, n.IPRules, n.SortingRules, bytes / 1024.0, t.Wall, t.Cpu);
        };
        row("half", half, halfFile.size(), halfTimes);
        row("full", full, fullFile.size(), fullTimes);
        std::printf("ratio full/half: wall %.2f, CPU %.2f (linear growth: 2)\n",
                    fullTimes.Wall / halfTimes.Wall, fullTimes.Cpu / halfTimes.Cpu);

        const int entries = static_cast<int>(80000 * scale);
        const std::string largeFile = MakeDialUpFile(entries),
                          smallFile = MakeDialUpFile(entries / 2);
        TTimes smallTimes, largeTimes;
        for (int round = 0; round < 3; ++round) {
            TimeConversion(smallFile, smallTimes);
            TimeConversion(largeFile, largeTimes);
        }
        std::printf("\n%-6s %9s %9s %9s %9s %9s\n", "run", "dial-up", "schedules", "file KB",
                    "wall s", "CPU s");
        const auto dialUpRow = [](const char* name, int n, size_t bytes, const TTimes& t) {
            std::printf("%-6s %9d %9d %9.1f %9.4f %9.4f\n", name, n, n / 4, bytes / 1024.0, t.Wall,
                        t.Cpu);
        };
        dialUpRow("half", entries / 2, smallFile.size(), smallTimes);
        dialUpRow("full", entries, largeFile.size(), largeTimes);
        std::printf("ratio full/half: wall %.2f, CPU %.2f (linear growth: 2)\n",
                    largeTimes.Wall / smallTimes.Wall, largeTimes.Cpu / smallTimes.Cpu);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_legacy: %s\n", e.what());
        return 1;
    }
    VnPlatform::DeleteFile(LegacyCfgFile);
    VnPlatform::RemoveDirectory("Config");
    VnPlatform::SetCurrentDirectory(base);
    VnPlatform::RemoveDirectory(folder);
    return 0;
}

// The version-guarded upgrade of the server and state databases to 3.08. Every step runs when the
// database's version number lies below its limit, in a fixed order; all work goes through the
// database module's CurrentDB and CurrentRow. Nothing is written to disk.
#pragma once

#include <string>
#include <vector>

// Steps 1 to 14 on CurrentDB, the server database of version number version. Answers the names
// of the steps applied ("1" to "14").
std::vector<std::string> UpgradeServerDatabase(int version);

// Steps S1 to S3 on CurrentDB, the state database of version number version, which holds the
// server's RemoteMailboxes table for the time of the upgrade. Answers the names of the steps
// applied ("S1" to "S3").
std::vector<std::string> UpgradeStateDatabase(int version);

// Appends a complete row to SortingRules with the next ID and Index; it becomes CurrentRow.
void AddSortingRule(const std::string& enabled, const std::string& rulesGroup,
                    const std::string& recipient, const std::string& description,
                    const std::string& sorter, const std::string& task);

// On CurrentRow: AllowUnsecureAuth becomes RequireSecretAuth with the opposite meaning.
void InvertSecretAuth();

// The host names of dial-up, DSL, dynamic and similar client addresses (a regular expression);
// what the SMTP service refuses by default.
extern const char* const HostNamePattern;

// The old list form of a rule condition ("Name:value;Name:value", ";;" for a semicolon) in the
// expression form (Name:"value" & Name:"value").
std::string ConvertRuleCondition(const std::string& condition);

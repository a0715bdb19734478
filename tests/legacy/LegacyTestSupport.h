// Shared by the legacy import tests: a scratch installation folder that is the current directory,
// a strict reader of the older database form, and a complete legacy configuration.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "LegacyStreamWriter.h"
#include "VnTestSupport.h"

// A fresh folder made the current directory for the test, as the wizard does with the target.
class TLegacyFolderTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string Path(const std::string& relative) const { return Folder / relative; }
    // The same path for std::filesystem ("\\" is a separator only on Windows).
    std::filesystem::path FsPath(const std::string& relative) const;

    TTempFolder Folder;

private:
    std::string FOldDirectory;
};

// A database in the older form, read line by line; any line out of place fails the test.
struct TOldRow {
    std::vector<std::pair<std::string, std::string>> Cols;
    std::vector<std::string> Names() const;
    std::string operator[](const std::string& name) const; // fails the test when absent
};
struct TOldTable {
    std::string Name;
    std::vector<TOldRow> Rows;
};
struct TOldDatabase {
    std::vector<TOldTable> Tables;
    std::vector<std::string> TableNames() const;
    const TOldTable& operator[](const std::string& name) const; // fails the test when absent
};
TOldDatabase ParseOldForm(const std::string& text);

// Users with passwords, remote mailboxes on shared and separate servers, recipients with commas
// and both markers, allowed and denied IP rules, fixed-time, interval and disabled schedules,
// dial-up entries with one and several phones, sorting rules, a copy address of two addresses.
TLegacyConfig CompleteLegacyConfig();
// Every nested object present and empty.
TLegacyConfig EmptyLegacyConfig();

// Shared by the upgrade tests: packages carrying a default database, databases in memory, and
// an installation folder with its Config\ and VNT_Admin\ folders.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "VnTestSupport.h"
#include "VnUpgradeFixture.h"
#include "VnXML.h"

// The payload's default database, payload/server.cfg.
std::string DefaultDatabaseText();

// A package signed with the test key: a stub, an archive whose top level holds "server.cfg" with
// the given text (none when empty), and the signature block.
void WritePackage(const std::string& fileName, const std::string& serverCfg);

std::unique_ptr<TVnXMLElement> ParseDatabase(const std::string& text);

// The rows of a table of root (empty when there is none) and the values of a column.
TVnXMLElement* TableOf(const TVnXMLElement& root, const std::string& table);
std::string ColumnOf(const TVnXMLElement* row, const std::string& column);
std::vector<std::string> ColumnNames(const TVnXMLElement* row);
std::vector<std::string> TableNames(const TVnXMLElement& root);

// The fixture's table of that name (its name at 3.08).
VnFixture::TTable& FixtureTable(std::vector<VnFixture::TTable>& tables, const std::string& name);

// The database written at version, read back as the program reads it and upgraded in memory
// (UpgradeServerDatabase or UpgradeStateDatabase); CurrentDB is the result.
std::unique_ptr<TVnXMLElement> UpgradeServer(const std::vector<VnFixture::TTable>& tables,
                                             int version);
std::unique_ptr<TVnXMLElement> UpgradeState(const std::vector<VnFixture::TTable>& tables,
                                            int version);

// An installation folder with a package beside it.
class TInstallFolder {
public:
    TInstallFolder();
    std::string Folder() const { return FTemp.Path(); }
    std::string Config() const { return FTemp.Path() + "Config\\"; }
    std::string Console() const { return FTemp.Path() + "VNT_Admin\\"; }
    std::string Package() const { return FTemp.Path() + "package.bin"; }
    void WriteServer(const std::string& text) const { WriteBytes(Config() + "server.cfg", text); }
    void WriteState(const std::string& text) const { WriteBytes(Config() + "state.cfg", text); }
    std::string Server() const { return ReadBytes(Config() + "server.cfg"); }
    std::string State() const { return ReadBytes(Config() + "state.cfg"); }

private:
    TTempFolder FTemp;
};

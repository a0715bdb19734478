#include "ConvertTestSupport.h"

#include <stdexcept>

#include "VnArchiveWriter.h"
#include "VnDB.h"
#include "VnSysUtils.h"
#include "VnUpgradeSteps.h"

namespace {

std::unique_ptr<TVnXMLElement> ReadAsProgram(const std::vector<VnFixture::TTable>& tables,
                                             int version) {
    TTempFolder temp;
    WriteBytes(temp / "db.cfg", VnFixture::WriteDatabase(tables, version));
    int read = 0;
    std::string text;
    if (!ReadDatabaseFile(temp / "db.cfg", read, text) || read != version)
        throw std::runtime_error("fixture not read back");
    auto root = ParseDatabase(text);
    CurrentDB = root.get();
    return root;
}

} // namespace

std::string DefaultDatabaseText() {
    return ReadBytes(SourcePath("payload/server.cfg"));
}

void WritePackage(const std::string& fileName, const std::string& serverCfg) {
    TVnStringStream package;
    package.WriteBuffer("MZ stub", 7);
    TVnArchiveWriter writer(package);
    writer.BeginFolder("Setup");
    writer.AddFile("readme.txt", "setup files");
    writer.EndFolder();
    if (!serverCfg.empty())
        writer.AddFile("server.cfg", serverCfg);
    writer.Finish();
    AppendSignature(package, TestKeySigner());
    WriteBytes(fileName, package.DataString());
}

std::unique_ptr<TVnXMLElement> ParseDatabase(const std::string& text) {
    auto root = std::make_unique<TVnXMLElement>();
    root->Parse(text);
    return root;
}

TVnXMLElement* TableOf(const TVnXMLElement& root, const std::string& table) {
    TVnXMLElement* element = nullptr;
    root.FindChildByAttr("name", table, element);
    return element;
}

std::string ColumnOf(const TVnXMLElement* row, const std::string& column) {
    TVnXMLElement* element = nullptr;
    if (!row || !row->FindChildByAttr("name", column, element))
        return "<missing " + column + ">";
    return element->Text;
}

std::vector<std::string> ColumnNames(const TVnXMLElement* row) {
    std::vector<std::string> names;
    for (const TVnXMLElement* column : row->Children())
        names.push_back(column->AttrValue("name"));
    return names;
}

std::vector<std::string> TableNames(const TVnXMLElement& root) {
    std::vector<std::string> names;
    for (const TVnXMLElement* table : root.Children())
        names.push_back(table->AttrValue("name"));
    return names;
}

VnFixture::TTable& FixtureTable(std::vector<VnFixture::TTable>& tables, const std::string& name) {
    for (VnFixture::TTable& table : tables)
        if (table.Name == name)
            return table;
    throw std::runtime_error("no fixture table " + name);
}

std::unique_ptr<TVnXMLElement> UpgradeServer(const std::vector<VnFixture::TTable>& tables,
                                             int version) {
    auto root = ReadAsProgram(tables, version);
    UpgradeServerDatabase(version);
    return root;
}

std::unique_ptr<TVnXMLElement> UpgradeState(const std::vector<VnFixture::TTable>& tables,
                                            int version) {
    auto root = ReadAsProgram(tables, version);
    UpgradeStateDatabase(version);
    return root;
}

TInstallFolder::TInstallFolder() {
    WritePackage(Package(), DefaultDatabaseText());
    WriteBytes(Config() + "readme.txt", "");
    WriteBytes(Console() + "readme.txt", "");
}

// Databases of every version boundary, from no ver attribute up to 3.08, through the upgrade:
// each must come out with exactly the layout of 3.08 that the fixture describes.
#include <algorithm>
#include <iterator>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "ConvertTestSupport.h"
#include "VnDB.h"
#include "VnDBConvertor.h"

using namespace VnFixture;

namespace {

constexpr int Current = DatabaseVersionNumber;

std::vector<int> BoundaryVersions() {
    std::vector<int> versions = {2039};
    for (int limit : StepLimits)
        versions.push_back(limit - 1);
    versions.push_back(Current);
    return versions;
}

const TTable* Described(const std::vector<TTable>& tables, const std::string& name) {
    for (const TTable& table : tables)
        if (table.NameAt(Current) == name)
            return &table;
    return nullptr;
}

std::vector<const TRow*> RowsAt(const TTable& table, int version) {
    std::vector<const TRow*> rows;
    for (const TRow& row : table.Rows)
        if (At(version, row.From, row.Until))
            rows.push_back(&row);
    return rows;
}

// The columns that every row of the table holds at 3.08 in the description.
std::set<std::string> RequiredColumns(const TTable& table) {
    std::set<std::string> required;
    bool first = true;
    for (const TRow* row : RowsAt(table, Current)) {
        std::set<std::string> names;
        for (const TColumn& column : row->Columns)
            if (At(Current, column.From, column.Until))
                names.insert(column.Name);
        if (first) {
            required = names;
        } else {
            std::set<std::string> common;
            std::set_intersection(required.begin(), required.end(), names.begin(), names.end(),
                                  std::inserter(common, common.begin()));
            required = common;
        }
        first = false;
    }
    return required;
}

// Every column name the table has at any version.
std::set<std::string> KnownColumns(const TTable& table) {
    std::set<std::string> known;
    for (const TRow& row : table.Rows)
        for (const TColumn& column : row.Columns)
            known.insert(column.Name);
    return known;
}

// Columns that the upgrade may add twice (once per virus-warning template).
bool MayRepeat(const std::string& table, const std::string& column) {
    return table == "Antivirus" && (column == "SusTemplate" || column == "InfTemplate");
}

// Every table, row count and column of the description's 3.08 layout; no column twice and none
// that the description does not know.
void ExpectLayoutOf308(const TVnXMLElement& root, const std::vector<TTable>& tables) {
    std::vector<std::string> names = TableNames(root);
    std::multiset<std::string> found(names.begin(), names.end());
    std::multiset<std::string> expected;
    for (const TTable& table : tables)
        if (Current >= table.From)
            expected.insert(table.NameAt(Current));
    EXPECT_EQ(found, expected);

    for (const TVnXMLElement* table : root.Children()) {
        const std::string name = table->AttrValue("name");
        const TTable* description = Described(tables, name);
        if (!description)
            continue;
        EXPECT_EQ(table->ChildCount(), static_cast<int>(RowsAt(*description, Current).size()))
            << name;
        const std::set<std::string> required = RequiredColumns(*description);
        const std::set<std::string> known = KnownColumns(*description);
        for (const TVnXMLElement* row : table->Children()) {
            std::map<std::string, int> counts;
            for (const std::string& column : ColumnNames(row))
                ++counts[column];
            for (const auto& count : counts) {
                EXPECT_EQ(known.count(count.first), 1u) << name << "." << count.first;
                if (!MayRepeat(name, count.first)) {
                    EXPECT_EQ(count.second, 1) << name << "." << count.first;
                }
            }
            for (const std::string& column : required)
                EXPECT_EQ(counts.count(column), 1u) << name << "." << column << " missing";
        }
    }
}

class TUpgradeBoundary : public testing::TestWithParam<int> {};

TEST_P(TUpgradeBoundary, ReceivesExactlyTheStepsAboveItsVersion) {
    const int version = GetParam();
    TInstallFolder install;
    install.WriteServer(WriteDatabase(ServerTables(), version));
    install.WriteState(WriteDatabase(StateTables(), version));

    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "en");
    EXPECT_FALSE(convertor.NewDatabase());
    EXPECT_EQ(convertor.ServerFileVersion(), version);
    EXPECT_EQ(convertor.StateFileVersion(), version);

    const TVnXMLElement& server = convertor.ServerDB();
    ExpectLayoutOf308(server, ServerTables());
    ExpectLayoutOf308(convertor.StateDB(), StateTables());
    EXPECT_EQ(TableNames(server).back(), "RemoteMailboxes");

    // Values that tell which steps ran.
    const TVnXMLElement* main = TableOf(server, "Main")->Child(0);
    EXPECT_EQ(ColumnOf(main, "Admin"), version < L8 ? "0" : "1");
    EXPECT_EQ(ColumnOf(main, "Language"), "en");
    EXPECT_EQ(ColumnOf(main, "SendHostTimeout"), "1");
    EXPECT_EQ(ColumnOf(main, "UndeliverTimeout"), "1440");
    EXPECT_EQ(ColumnOf(TableOf(server, "Log")->Child(0), "Mode"), "0");
    EXPECT_EQ(ColumnOf(TableOf(server, "Domains")->Child(0), "NonExistUserAction"), "2");
    EXPECT_EQ(ColumnOf(TableOf(server, "SortingRules")->Child(0), "Condition"),
              "Subject:\"a;b\" & From:\"x\"\"y&z\"");
    EXPECT_EQ(ColumnOf(TableOf(server, "Services")->Child(2), "AccessAll"), "1");
}

INSTANTIATE_TEST_SUITE_P(Versions, TUpgradeBoundary, testing::ValuesIn(BoundaryVersions()),
                         [](const testing::TestParamInfo<int>& info) {
                             return "V" + std::to_string(info.param);
                         });

TEST(UpgradeVersions, A308DatabaseIsWrittenBackUnchanged) {
    TInstallFolder install;
    const std::string text = WriteDatabase(ServerTables(), Current);
    install.WriteServer(text);
    TVnDBConvertor convertor(install.Package());
    convertor.ConvertDatabases(install.Config(), "ru");
    convertor.SetAdministrator(1, "");
    EXPECT_EQ(install.Server(), text);
    EXPECT_FALSE(PathExists(install.Config() + "server.cfg.bak"));
}

} // namespace

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VnCp1251.h"
#include "VnDB.h"
#include "VnTestSupport.h"

namespace {

template <class E, class F> std::string ErrorOf(F f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return "no error";
}

// A database parsed from text, made CurrentDB.
class DBTest : public testing::Test {
protected:
    void Load(const std::string& text) {
        FRoot.Clear();
        FRoot.Parse(text);
        CurrentDB = &FRoot;
        CurrentRow = nullptr;
    }
    void SetUp() override {
        Load("<vnt-db ver=\"3.08\">\r\n"
             "<table name=\"Users\">\r\n"
             "  <row>\r\n"
             "    <col name=\"ID\">1</col>\r\n"
             "    <col name=\"Name\">WinAdmin</col>\r\n"
             "  </row>\r\n"
             "  <row>\r\n"
             "    <col name=\"ID\">5</col>\r\n"
             "    <col name=\"Name\">winadmin 1</col>\r\n"
             "  </row>\r\n"
             "  <row>\r\n"
             "    <col name=\"ID\">3</col>\r\n"
             "    <col name=\"Name\">" +
             VN_CP1251("Ёлка") +
             "</col>\r\n"
             "  </row>\r\n"
             "</table>\r\n"
             "\r\n"
             "<table name=\"Empty\">\r\n"
             "</table>\r\n"
             "\r\n"
             "<table name=\"Main\">\r\n"
             "  <row>\r\n"
             "    <col name=\"Admin\">0</col>\r\n"
             "    <col name=\"Language\">en</col>\r\n"
             "  </row>\r\n"
             "</table>\r\n"
             "\r\n"
             "</vnt-db>\r\n");
    }
    void TearDown() override {
        CurrentDB = nullptr;
        CurrentRow = nullptr;
    }
    TVnXMLElement* Row(int index) { return FindTable("Users")->Child(index); }

    TVnXMLElement FRoot;
};

} // namespace

// ---- Lookup and change --------------------------------------------------------------------

TEST_F(DBTest, LookupIgnoresCaseAndReportsMissingNames) {
    EXPECT_EQ(FRoot.Child(0), FindTable("USERS"));
    EXPECT_EQ("Table \"Nope\" not found", ErrorOf<EVnException>([] { FindTable("Nope"); }));
    EXPECT_EQ("en", GetTableField("main", "LANGUAGE"));
    EXPECT_EQ("Field \"Main.Nope\" not found",
              ErrorOf<EVnException>([] { GetTableField("Main", "Nope"); }));
    EXPECT_EQ("List index out of bounds (0)",
              ErrorOf<EListError>([] { GetTableField("Empty", "ID"); }));
    EXPECT_EQ("List index out of bounds (0)",
              ErrorOf<EListError>([] { AddTableField("Empty", "ID", "1"); }));

    CurrentRow = Row(1);
    EXPECT_EQ("winadmin 1", GetField("name"));
    EXPECT_EQ(Row(1)->Child(1), CurField("Name"));
    EXPECT_EQ("Field \"Users.Password\" not found",
              ErrorOf<EVnException>([] { GetField("Password"); }));
}

TEST_F(DBTest, ChangeRenameAndDuplicateColumns) {
    SetTableField("Main", "Admin", "5");
    EXPECT_EQ("5", GetTableField("Main", "Admin"));

    CurrentRow = Row(0);
    SetField("Name", "root");
    RenameField("name", "Login");
    EXPECT_EQ("root", GetField("Login"));
    EXPECT_EQ(std::vector<std::string>{"name=Login"}, Row(0)->Child(1)->Attributes);
    EXPECT_EQ(Row(0)->Child(1), CurField("Login")); // still the second column
    EXPECT_THROW(GetField("Name"), EVnException);

    AddField("Login", "second");
    EXPECT_EQ(3, Row(0)->ChildCount());
    EXPECT_EQ("root", GetField("login")); // the first of two
    AddTableField("Main", "Extra", "x");
    EXPECT_EQ("x", GetTableField("Main", "Extra"));

    RenameTable("users", "Accounts");
    EXPECT_EQ("Accounts", FRoot.Child(0)->AttrValue("name"));
    EXPECT_THROW(FindTable("Users"), EVnException);
}

// ---- Search and numbering -----------------------------------------------------------------

TEST_F(DBTest, LocateRowMovesCurrentRow) {
    EXPECT_TRUE(LocateRow("Users", "Name", "WINADMIN 1"));
    EXPECT_EQ(Row(1), CurrentRow);
    EXPECT_TRUE(LocateRow("Users", "Name", VN_CP1251("ёЛКА")));
    EXPECT_EQ(Row(2), CurrentRow);
    EXPECT_TRUE(LocateID("Users", "5"));
    EXPECT_EQ(Row(1), CurrentRow);

    CurrentRow = Row(0);
    EXPECT_FALSE(LocateRow("Users", "Name", "nobody"));
    EXPECT_EQ(Row(2), CurrentRow); // left at the last row

    EXPECT_FALSE(LocateRow("Empty", "Name", "x"));
    EXPECT_EQ(Row(2), CurrentRow); // unchanged
    EXPECT_EQ("Field \"Main.Name\" not found",
              ErrorOf<EVnException>([] { LocateRow("Main", "Name", "x"); }));
}

TEST_F(DBTest, NextValueKeepsCurrentRow) {
    CurrentRow = Row(1);
    EXPECT_EQ("6", NextID("Users"));
    EXPECT_EQ(Row(1), CurrentRow);
    EXPECT_EQ("1", NextID("Empty"));
    EXPECT_EQ("1", NextValue("Main", "Admin"));

    AddTable("Rules");
    AddRow("Rules");
    AddField("Index", "-4");
    EXPECT_EQ("1", NextIndex("Rules")); // values of 0 and below never count
    SetField("Index", "41");
    EXPECT_EQ("42", NextIndex("Rules"));

    SetField("Index", "");
    CurrentRow = Row(0);
    EXPECT_EQ("'' is not a valid integer value",
              ErrorOf<EConvertError>([] { NextIndex("Rules"); }));
    EXPECT_EQ(Row(0), CurrentRow);
    EXPECT_EQ("'en' is not a valid integer value",
              ErrorOf<EConvertError>([] { NextValue("Main", "Language"); }));
}

TEST_F(DBTest, NextValueReadsOnlyDecimalIntegers) {
    AddTable("Rules");
    AddRow("Rules");
    AddField("Index", "");
    for (const char* text : {"$A", "0x10", " 7", "7 ", "+7", "-", "1e3", "99999999999999999999"}) {
        SetField("Index", text);
        EXPECT_EQ(Format("'%s' is not a valid integer value", text),
                  ErrorOf<EConvertError>([] { NextIndex("Rules"); }));
    }
    SetField("Index", "-0012");
    EXPECT_EQ("1", NextIndex("Rules"));
    SetField("Index", "0099");
    EXPECT_EQ("100", NextIndex("Rules"));
}

TEST_F(DBTest, UniqueNameIgnoresCaseAndKeepsCurrentRow) {
    CurrentRow = Row(0);
    EXPECT_EQ("WinAdmin 2", UniqueName("Users", "WinAdmin"));
    EXPECT_EQ(Row(0), CurrentRow);
    EXPECT_EQ("Guest", UniqueName("Users", "Guest"));
    EXPECT_EQ(Row(0), CurrentRow);
}

// ---- Iteration ----------------------------------------------------------------------------

TEST_F(DBTest, ForEachRowDeletingEveryRow) {
    int calls = 0;
    ForEachRow("Users", [&] {
        ++calls;
        CurrentRow->Destroy();
        CurrentRow = nullptr;
    });
    EXPECT_EQ(3, calls);
    EXPECT_EQ(0, FindTable("Users")->ChildCount());
}

TEST_F(DBTest, ForEachRowDeletingSomeRows) {
    for (int i = 0; i < 7; ++i) {
        AddRow("Users");
        AddField("ID", std::to_string(10 + i));
    }
    std::vector<std::string> seen;
    ForEachRow("Users", [&] {
        seen.push_back(GetField("ID"));
        if (seen.size() % 2 == 0) {
            CurrentRow->Destroy();
            CurrentRow = nullptr;
        }
    });
    EXPECT_EQ((std::vector<std::string>{"1", "5", "3", "10", "11", "12", "13", "14", "15", "16"}),
              seen);
    std::vector<std::string> left;
    ForEachRow("Users", [&] { left.push_back(GetField("ID")); });
    EXPECT_EQ((std::vector<std::string>{"1", "3", "11", "13", "15"}), left);
    EXPECT_THROW(ForEachRow("Nope", [] {}), EVnException);
}

// ---- Version and files --------------------------------------------------------------------

TEST(DBVersion, Numbers) {
    EXPECT_EQ(2039, VersionNumber(""));
    EXPECT_EQ(3089, VersionNumber("3.08"));
    EXPECT_EQ(2041, VersionNumber("2.041"));
    EXPECT_EQ(2049, VersionNumber("2.04"));
    EXPECT_EQ(319, VersionNumber("3.1"));
    EXPECT_EQ(3089, VersionNumber("version 3.08 beta"));
    EXPECT_EQ(9, VersionNumber("abc"));
    EXPECT_EQ(1234, VersionNumber("1.2.3.4.5"));
}

TEST(DBFiles, LayoutOfATreeBuiltInMemory) {
    TVnXMLElement root;
    root.Name = "vnt-db";
    root.Attributes = {"ver=1.0", "other=x"};
    CurrentDB = &root;
    AddTable("Users");
    AddRow("Users");
    AddField("ID", "1");
    AddField("Name", "a<b> & 'c' \"d\"");
    AddField("Note", "two\r\nlines");
    AddField("Empty", "");
    AddRow("Users");
    AddTable("Empty");
    AddTable("Main");
    AddRow("Main");
    AddTableField("Main", "Language", "ru");

    TTempFolder folder;
    const std::string file = folder / "server.cfg";
    WriteDatabaseFile(file, root);
    const std::string expected = "<vnt-db ver=\"3.08\">\r\n"
                                 "<table name=\"Users\">\r\n"
                                 "  <row>\r\n"
                                 "    <col name=\"ID\">1</col>\r\n"
                                 "    <col name=\"Name\">a&lt;b&gt; &amp; &apos;c&apos; "
                                 "&quot;d&quot;</col>\r\n"
                                 "    <col name=\"Note\">two\r\nlines</col>\r\n"
                                 "    <col name=\"Empty\"></col>\r\n"
                                 "  </row>\r\n"
                                 "  <row>\r\n"
                                 "  </row>\r\n"
                                 "</table>\r\n"
                                 "\r\n"
                                 "<table name=\"Empty\">\r\n"
                                 "</table>\r\n"
                                 "\r\n"
                                 "<table name=\"Main\">\r\n"
                                 "  <row>\r\n"
                                 "    <col name=\"Language\">ru</col>\r\n"
                                 "  </row>\r\n"
                                 "</table>\r\n"
                                 "\r\n"
                                 "</vnt-db>\r\n";
    EXPECT_EQ(expected, ReadBytes(file));

    // Read back and written again: the same bytes.
    int version = 0;
    std::string text;
    ASSERT_TRUE(ReadDatabaseFile(file, version, text));
    EXPECT_EQ(3089, version);
    EXPECT_EQ(expected, text);
    TVnXMLElement again;
    again.Parse(text);
    WriteDatabaseFile(file, again);
    EXPECT_EQ(expected, ReadBytes(file));
    // A file that cannot be created: the platform's error, nothing else touched.
    EXPECT_THROW(WriteDatabaseFile(file + PathDelim + "sub.cfg", again), EFCreateError);
    EXPECT_EQ(expected, ReadBytes(file));
    CurrentDB = nullptr;
    CurrentRow = nullptr;
}

TEST(DBFiles, LargeDatabaseFileEqualsItsText) {
    TVnXMLElement root;
    root.Name = "vnt-db";
    CurrentDB = &root;
    AddTable("Messages");
    for (int i = 0; i < 5000; ++i) {
        AddRow("Messages");
        AddField("ID", std::to_string(i));
        AddField("UIDL", "<" + std::to_string(i * 7919) + "@remote> & more");
    }
    AddTable("Main");
    AddRow("Main");
    AddTableField("Main", "Language", "ru");
    CurrentDB = nullptr;
    CurrentRow = nullptr;

    const std::string expected = DatabaseText(root);
    ASSERT_GT(expected.size(), 4 * TVnXMLElement::WritePieceSize);
    TTempFolder folder;
    const std::string file = folder / "state.cfg";
    WriteDatabaseFile(file, root);
    EXPECT_EQ(expected, ReadBytes(file));
    TVnStringStream stream;
    WriteDatabase(stream, root);
    EXPECT_EQ(expected, stream.DataString());
}

TEST(DBFiles, MissingEmptyAndMalformedFiles) {
    TTempFolder folder;
    int version = 7;
    std::string text = "stale";
    EXPECT_FALSE(ReadDatabaseFile(folder / "none.cfg", version, text));
    EXPECT_EQ(7, version);
    EXPECT_EQ("", text);

    WriteBytes(folder / "empty.cfg", "");
    text = "stale";
    EXPECT_FALSE(ReadDatabaseFile(folder / "empty.cfg", version, text));
    EXPECT_EQ(7, version);
    EXPECT_EQ("", text);

    // Only the head is read here; the body is the caller's parse.
    WriteBytes(folder / "body.cfg", "<vnt-db ver=\"2.05\">\r\n<table name=\"T\">");
    EXPECT_TRUE(ReadDatabaseFile(folder / "body.cfg", version, text));
    EXPECT_EQ(2059, version);

    WriteBytes(folder / "junk.cfg", "no markup at all");
    EXPECT_EQ("Incorrect XML data",
              ErrorOf<EVnException>([&] { ReadDatabaseFile(folder / "junk.cfg", version, text); }));
}

TEST(DBFiles, OldEntityFormIsRepaired) {
    TTempFolder folder;
    const std::string body = "<table name=\"T\">\r\n"
                             "  <row>\r\n"
                             "    <col name=\"V\">a&ltb&ampc &AMPlt; x&Lt</col>\r\n"
                             "  </row>\r\n"
                             "</table>\r\n"
                             "\r\n"
                             "</vnt-db>\r\n";
    int version = 0;
    std::string text;
    for (const std::string& head :
         {std::string("<vnt-db>\r\n"), std::string("<vnt-db ver=\"2.042\">\r\n")}) {
        SCOPED_TRACE(head);
        WriteBytes(folder / "old.cfg", head + body);
        ASSERT_TRUE(ReadDatabaseFile(folder / "old.cfg", version, text));
        EXPECT_LT(version, 2043);
        TVnXMLElement root;
        root.Parse(text);
        CurrentDB = &root;
        EXPECT_EQ("a<b&c &lt; x<", GetTableField("T", "V"));

        WriteDatabaseFile(folder / "new.cfg", root);
        EXPECT_EQ("<vnt-db ver=\"3.08\">\r\n"
                  "<table name=\"T\">\r\n"
                  "  <row>\r\n"
                  "    <col name=\"V\">a&lt;b&amp;c &amp;lt; x&lt;</col>\r\n"
                  "  </row>\r\n"
                  "</table>\r\n"
                  "\r\n"
                  "</vnt-db>\r\n",
                  ReadBytes(folder / "new.cfg"));
        CurrentDB = nullptr;
    }

    // From 2043 on the text is left as it is.
    const std::string current = "<vnt-db ver=\"2.043\">\r\n" + body;
    WriteBytes(folder / "current.cfg", current);
    ASSERT_TRUE(ReadDatabaseFile(folder / "current.cfg", version, text));
    EXPECT_EQ(2043, version);
    EXPECT_EQ(current, text);
}

TEST(DBFiles, DefaultDatabaseIsReproduced) {
    const std::string file = SourcePath("payload/server.cfg");
    int version = 0;
    std::string text;
    ASSERT_TRUE(ReadDatabaseFile(file, version, text));
    EXPECT_EQ(DatabaseVersionNumber, version);
    TVnXMLElement root;
    root.Parse(text);
    EXPECT_EQ(ReadBytes(file), DatabaseText(root));
}

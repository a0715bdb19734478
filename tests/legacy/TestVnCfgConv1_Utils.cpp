#include <gtest/gtest.h>

#include "LegacyStreamWriter.h"
#include "VnCfgConv1_Utils.h"
#include "VnTestSupport.h"

namespace {

// A class with one field of every kind.
class TProbe : public TVnObject {
public:
    int32_t Number = 0;
    TVnBool Flag = 0;
    std::string Text;
    TVnPassword Secret;
    TVnStringList* List = nullptr;
    TProbe* Child = nullptr;
    TProbe* Items = nullptr;

protected:
    void Load() override {
        ReadValue(1, Number);
        ReadValue(2, Flag);
        ReadStringField(3, Text);
        ReadPassword(4, Secret);
        ReadStrings(5, List);
        ReadObject(6, Child);
        ReadCollection(7, Items);
    }
};

struct TLoaded {
    explicit TLoaded(const std::string& bytes) : Stream(bytes) {
        Probe = &TVnObject::Create<TProbe>(Owner, Stream, Stream.Size());
    }
    TVnStringStream Stream;
    TVnOwnerList Owner;
    TProbe* Probe;
};

std::string Unscrambled(const std::string& payload) {
    return TLoaded(TLegacyObject().Raw(4, payload).Bytes()).Probe->Secret;
}

} // namespace

TEST(LegacyReader, LongAndShortLengthFormsReadAlike) {
    EXPECT_EQ(std::string("\xFF\x04\x00\x00\x00", 5), LengthPrefix(4, true));
    const auto build = [](bool longForm) {
        TLegacyObject child;
        child.LongLengths(longForm).Int(1, 7);
        return TLegacyObject()
            .LongLengths(longForm)
            .Int(1, -2)
            .Bool(2, 1)
            .Str(3, std::string(300, 'x'))
            .Password(4, "pw")
            .Strings(5, {"a", "bc"})
            .Object(6, child)
            .Collection(7, {child, child})
            .Bytes();
    };
    for (const bool longForm : {false, true}) {
        SCOPED_TRACE(longForm);
        TLoaded loaded(build(longForm));
        const TProbe& p = *loaded.Probe;
        EXPECT_EQ(-2, p.Number);
        EXPECT_EQ(1, p.Flag);
        EXPECT_EQ(std::string(300, 'x'), p.Text);
        EXPECT_EQ("pw", p.Secret);
        ASSERT_NE(nullptr, p.List);
        EXPECT_EQ((std::vector<std::string>{"a", "bc"}), p.List->Items);
        ASSERT_NE(nullptr, p.Child);
        EXPECT_EQ(7, p.Child->Number);
        EXPECT_EQ(2u, Chain(p.Items).Count());
        EXPECT_EQ(static_cast<int64_t>(build(longForm).size()), p.EndPos);
    }
}

TEST(LegacyReader, AbsentFieldsKeepTheirInitialValues) {
    TLoaded loaded(std::string(1, '\0')); // L = 0
    const TProbe& p = *loaded.Probe;
    EXPECT_EQ(1, p.StartPos);
    EXPECT_EQ(1, p.EndPos);
    EXPECT_EQ(0, p.Number);
    EXPECT_EQ(0, p.Flag);
    EXPECT_EQ("", p.Text);
    EXPECT_EQ("", p.Secret);
    EXPECT_EQ(nullptr, p.List);
    EXPECT_EQ(nullptr, p.Child);
    EXPECT_EQ(nullptr, p.Items);
    EXPECT_EQ(1u, loaded.Owner.Count());
}

TEST(LegacyReader, FieldsAreFoundByTagInAnyOrder) {
    TLoaded loaded(TLegacyObject()
                       .Str(3, "first")
                       .Raw(99, "skipped \x03\x05 bytes")
                       .Int(1, 5)
                       .Str(3, "second")
                       .Raw(200, std::string(600, '\x03'))
                       .Bool(2, 1)
                       .Bytes());
    EXPECT_EQ("first", loaded.Probe->Text);
    EXPECT_EQ(5, loaded.Probe->Number);
    EXPECT_EQ(1, loaded.Probe->Flag);
}

TEST(LegacyReader, ValuePayloadsFillTheLowBytesAndSkipTheExcess) {
    EXPECT_EQ(0x0201, TLoaded(TLegacyObject().Raw(1, "\x01\x02").Bytes()).Probe->Number);
    TLoaded longer(TLegacyObject()
                       .Raw(1, std::string("\x01\x00\x00\x80\xAA\xBB", 6))
                       .Raw(2, "\x02\x07")
                       .Str(3, "after")
                       .Bytes());
    EXPECT_EQ(static_cast<int32_t>(0x80000001), longer.Probe->Number);
    EXPECT_EQ(2, longer.Probe->Flag); // the byte as it is
    EXPECT_EQ("after", longer.Probe->Text);
}

TEST(LegacyReader, ScrambledStrings) {
    const std::string cyrillic = "\xC0\xED\xED\xE0"; // "Анна" in Windows-1251
    const std::string long300(300, '\xFE');          // positions beyond 255 wrap around
    for (const std::string& plain : {std::string(), std::string("secret"), cyrillic, long300})
        EXPECT_EQ(plain, Unscrambled(Scramble(plain)));
    // Bytes 01 00 unscramble to FF 00: a length of 255 with nothing after it.
    EXPECT_EQ("", Unscrambled(std::string("\x01\x00", 2)));
    EXPECT_EQ("", Unscrambled("\x07")); // shorter than the length word
    EXPECT_EQ("", Unscrambled(""));
    // A length beyond the text gives what is there; one below it drops the rest.
    EXPECT_EQ("abc", Unscrambled(ScrambleWithLength(1000, "abc")));
    EXPECT_EQ("ab", Unscrambled(ScrambleWithLength(2, "abc")));
}

TEST(LegacyReader, StringListsAndCollections) {
    TLegacyObject item;
    item.Int(1, 1).Raw(50, "unread");
    TLoaded loaded(TLegacyObject()
                       .Strings(5, {"", "x", std::string(260, 'y')})
                       .Collection(7, {item, TLegacyObject().Int(1, 2),
                                       TLegacyObject().Int(1, 3).Strings(5, {"z"})})
                       .Bytes());
    const TProbe& p = *loaded.Probe;
    ASSERT_NE(nullptr, p.List);
    EXPECT_EQ((std::vector<std::string>{"", "x", std::string(260, 'y')}), p.List->Items);
    std::vector<int32_t> numbers;
    for (const TProbe& each : Chain(p.Items))
        numbers.push_back(each.Number);
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3}), numbers);
    // The root, its list, three items and the third item's list.
    EXPECT_EQ(6u, loaded.Owner.Count());

    TLoaded empty(TLegacyObject().Strings(5, {}).Collection(7, {}).Bytes());
    ASSERT_NE(nullptr, empty.Probe->List); // an empty list is still created
    EXPECT_TRUE(empty.Probe->List->Items.empty());
    EXPECT_EQ(nullptr, empty.Probe->Items);
}

TEST(LegacyReader, NestedObjectsAreBoundedByTheirOwnLength) {
    TLegacyObject grandchild;
    grandchild.Int(1, 3);
    TLegacyObject child;
    child.Int(1, 2).Object(6, grandchild);
    TLoaded loaded(TLegacyObject().Object(6, child).Int(1, 1).Bytes());
    ASSERT_NE(nullptr, loaded.Probe->Child);
    ASSERT_NE(nullptr, loaded.Probe->Child->Child);
    EXPECT_EQ(1, loaded.Probe->Number);
    EXPECT_EQ(2, loaded.Probe->Child->Number);
    EXPECT_EQ(3, loaded.Probe->Child->Child->Number);
    EXPECT_EQ(nullptr, loaded.Probe->Child->Child->Child);
}

TEST(LegacyReader, LengthsBeyondTheirBoundsAreRefused) {
    const std::string five = LengthPrefix(5);
    struct TCase {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"empty stream", ""},
        {"object longer than the stream", "\x05\x03\x01"},
        {"truncated long prefix", "\xFF\x04\x00"},
        {"negative long length", "\xFF\xFF\xFF\xFF\xFF"},
        {"field longer than its object",
         TLegacyObject().Append(std::string("\x03\x09", 2) + "abc").Bytes() + "trailing bytes"},
        {"tag without a length", TLegacyObject().Str(3, "ok").Append("\x04").Bytes()},
        {"list item beyond the list",
         TLegacyObject().Raw(5, std::string("\x01x\x05", 3) + "ab").Bytes()},
        {"collection item beyond the collection",
         TLegacyObject().Raw(7, std::string("\x04\x01\x01", 3)).Bytes() + "\x00\x00"},
        {"field beyond its nested object",
         TLegacyObject().Append(std::string("\x06\x02\x03\x05", 4)).Int(1, 0).Bytes()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_THROW(TLoaded loaded(c.Bytes), EVnStreamCorrupt);
    }
}

TEST(LegacyWriter, WritesTheOlderDatabaseForm) {
    TTempFolder folder;
    const std::string target = folder / "server.cfg";
    TVnWriter writer(target);
    writer.BeginTable("Empty");
    writer.EndTable();
    writer.BeginTable("Main");
    writer.BeginRow();
    writer.WriteStr("Text", "a<b&c &lt; >\"'\r\nx");
    writer.WriteStr("None", "");
    writer.WriteInt("Minus", -1);
    writer.WriteBool("Two", 2);
    writer.EndRow();
    writer.EndTable();
    writer.Close();

    // Beside the target, under another name, until committed.
    EXPECT_FALSE(PathExists(target));
    EXPECT_EQ(folder.Path(), ExtractFilePath(writer.TempName()));
    const std::string expected = "<vnt-db>\r\n"
                                 "<table name=\"Empty\">\r\n"
                                 "</table>\r\n"
                                 "\r\n"
                                 "<table name=\"Main\">\r\n"
                                 "  <row>\r\n"
                                 "    <col name=\"Text\">a&ltb&ampc &amplt; >\"'\r\nx</col>\r\n"
                                 "    <col name=\"None\"></col>\r\n"
                                 "    <col name=\"Minus\">-1</col>\r\n"
                                 "    <col name=\"Two\">2</col>\r\n"
                                 "  </row>\r\n"
                                 "</table>\r\n"
                                 "\r\n"
                                 "</vnt-db>\r\n";
    EXPECT_EQ(expected, ReadBytes(writer.TempName()));
    const std::string temp = writer.TempName();
    writer.Commit();
    EXPECT_EQ(expected, ReadBytes(target));
    EXPECT_FALSE(PathExists(temp));
}

TEST(LegacyWriter, AnUncommittedDatabaseLeavesNoFile) {
    TTempFolder folder;
    std::string temp;
    {
        TVnWriter writer(folder / "server.cfg");
        temp = writer.TempName();
        for (int i = 0; i < 20000; ++i) { // more than the buffer holds
            writer.BeginRow();
            writer.WriteInt("ID", i);
            writer.EndRow();
        }
        EXPECT_TRUE(PathExists(temp));
    }
    EXPECT_FALSE(PathExists(temp));
    EXPECT_FALSE(PathExists(folder / "server.cfg"));
}

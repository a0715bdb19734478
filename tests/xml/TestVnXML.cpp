#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VnCp1251.h"
#include "VnSysUtils.h"
#include "VnTestSupport.h"
#include "VnXML.h"

namespace {

std::string ParseError(const std::string& text) {
    TVnXMLElement root;
    try {
        root.Parse(text);
    } catch (const EVnException& e) {
        return e.Message();
    }
    return "parsed";
}

// Two trees are equal when names, attribute entries and children agree, and the texts of leaves;
// in front of a first child the parser reads the writer's line break or indentation.
void ExpectSameTree(const TVnXMLElement& expected, const TVnXMLElement& actual,
                    const std::string& path = "/") {
    SCOPED_TRACE(path);
    EXPECT_EQ(expected.Name, actual.Name);
    EXPECT_EQ(expected.Attributes, actual.Attributes);
    ASSERT_EQ(expected.ChildCount(), actual.ChildCount());
    EXPECT_EQ(expected.ChildCount() > 0, actual.IsContainer);
    if (expected.ChildCount() == 0) {
        EXPECT_EQ(expected.Text, actual.Text);
    }
    for (int i = 0; i < expected.ChildCount(); ++i)
        ExpectSameTree(*expected.Child(i), *actual.Child(i),
                       path + expected.Child(i)->Name + "[" + std::to_string(i) + "]/");
}

} // namespace

// ---- Parsing ------------------------------------------------------------------------------

TEST(XMLParse, DatabaseHead) {
    TVnXMLElement root;
    root.Parse("<vnt-db ver=\"3.08\">\r\n<table name=\"Main\">\r\n</table>\r\n\r\n</vnt-db>\r\n");
    EXPECT_EQ("vnt-db", root.Name);
    EXPECT_EQ(std::vector<std::string>{"ver=3.08"}, root.Attributes);
    EXPECT_EQ("\r\n", root.Text);
    EXPECT_TRUE(root.IsContainer);
    ASSERT_EQ(1, root.ChildCount());
    EXPECT_EQ("table", root.Child(0)->Name);
    EXPECT_EQ("\r\n", root.Child(0)->Text);
    EXPECT_FALSE(root.Child(0)->IsContainer);
    EXPECT_FALSE(root.Child(0)->BlankLineAfter);
    EXPECT_EQ(&root, root.Child(0)->Parent());
}

TEST(XMLParse, NamelessElementsAndCompactForm) {
    TVnXMLElement root;
    root.Parse("<>< name=\"Languages\">< name=\"en\"><en>English</en><ru>" +
               VN_CP1251("Английский") +
               "</ru></></>< name=\"frmMain\">< name=\"btnNext\"><en>Next &gt;</en></></></>");
    EXPECT_EQ("", root.Name);
    EXPECT_TRUE(root.Attributes.empty());
    ASSERT_EQ(2, root.ChildCount());
    const TVnXMLElement* languages = root.Child(0);
    EXPECT_EQ("", languages->Name);
    EXPECT_EQ(std::vector<std::string>{"name=Languages"}, languages->Attributes);
    ASSERT_EQ(1, languages->ChildCount());
    ASSERT_EQ(2, languages->Child(0)->ChildCount());
    EXPECT_EQ("en", languages->Child(0)->Child(0)->Name);
    EXPECT_EQ("English", languages->Child(0)->Child(0)->Text);
    EXPECT_EQ(VN_CP1251("Английский"), languages->Child(0)->Child(1)->Text);
    EXPECT_EQ("Next >", root.Child(1)->Child(0)->Child(0)->Text);
}

TEST(XMLParse, LanguageFile) {
    TVnXMLElement root;
    root.Parse(ReadBytes(SourcePath("payload/VNT_Setup.lng")));
    EXPECT_EQ("", root.Name);
    ASSERT_GT(root.ChildCount(), 0);
    for (const TVnXMLElement* section : root.Children()) {
        EXPECT_EQ("", section->Name);
        EXPECT_NE("", section->AttrValue("name"));
        EXPECT_GT(section->ChildCount(), 0);
    }
}

TEST(XMLParse, TextAroundChildren) {
    TVnXMLElement root;
    root.Parse("lead<a>x<b>y</b>z</a>trail");
    EXPECT_EQ("x", root.Text);
    ASSERT_EQ(1, root.ChildCount());
    EXPECT_EQ("y", root.Child(0)->Text); // z is lost
    EXPECT_TRUE(root.IsContainer);

    TVnXMLElement empty;
    empty.Parse("<a></a>");
    EXPECT_EQ("", empty.Text);
    EXPECT_EQ(0, empty.ChildCount());
    EXPECT_FALSE(empty.IsContainer);
}

TEST(XMLParse, Quirks) {
    // A doubled "<" reads like one; end tags close the innermost element whatever their name.
    TVnXMLElement root;
    root.Parse("<<a><<b>1</c><d>2</>></x>");
    EXPECT_EQ("a", root.Name);
    ASSERT_EQ(2, root.ChildCount());
    EXPECT_EQ("b", root.Child(0)->Name);
    EXPECT_EQ("d", root.Child(1)->Name);
    EXPECT_EQ("2", root.Child(1)->Text);

    // Spaces and runs of "=" around the equals sign, values taken raw, duplicates kept.
    TVnXMLElement attrs;
    attrs.Parse("<e  x = \"1\"\ty==\"&amp;\"\r\nx=\"a\"\"\" z=\"b\"></e>");
    EXPECT_EQ((std::vector<std::string>{"x=1", "y=&amp;", "x=a", "z=b"}), attrs.Attributes);
}

TEST(XMLParse, MalformedInput) {
    for (const char* text : {"", "no tag at all", "<a>", "<a", "<a b=\"c\"", "<a>text", "<a>x<",
                             "<a><b>1</b>", "<a><b>", "<a x=\"1\">"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ("Incorrect XML data", ParseError(text));
    }
    // An end tag without its ">" at the very end is accepted.
    EXPECT_EQ("parsed", ParseError("<a>1</a"));
}

TEST(XMLParse, FailureLeavesPartialTreeAndReparseAppends) {
    TVnXMLElement root;
    EXPECT_THROW(root.Parse("<a><b>1</b><c>2"), EVnException);
    ASSERT_EQ(2, root.ChildCount());
    EXPECT_EQ("c", root.Child(1)->Name);

    root.Parse("<z k=\"v\">t<d></d></z>");
    EXPECT_EQ("z", root.Name);
    EXPECT_EQ("t", root.Text);
    EXPECT_EQ(3, root.ChildCount());
    EXPECT_EQ("d", root.Child(2)->Name);
}

TEST(XMLParse, DeepNestingWithoutRecursion) {
    // Deep enough to overflow any stack if parsing, writing or destroying recursed.
    const size_t depth = 300000;
    std::string text;
    for (size_t i = 0; i < depth; ++i)
        text += "<a>";
    std::string open = text;
    for (size_t i = 0; i < depth; ++i)
        text += "</a>";

    auto root = std::make_unique<TVnXMLElement>();
    root->Parse(text);
    size_t levels = 1;
    for (const TVnXMLElement* e = root.get(); e->ChildCount() > 0; e = e->Child(0))
        ++levels;
    EXPECT_EQ(depth, levels);

    // Levels far below zero: no indentation, so the text stays linear in the depth.
    std::string expected;
    for (size_t i = 1; i < depth; ++i)
        expected += "<a>\r\n";
    expected += "<a></a>\r\n";
    for (size_t i = 1; i < depth; ++i)
        expected += "</a>\r\n";
    EXPECT_EQ(expected, root->WriteText(-2 * static_cast<int>(depth)));
    root.reset();

    TVnXMLElement truncated;
    EXPECT_THROW(truncated.Parse(open), EVnException);
}

// ---- Entities -----------------------------------------------------------------------------

TEST(XMLEntities, UnescapeIsOnePass) {
    EXPECT_EQ("&lt;", XMLUnescape("&amp;lt;"));
    EXPECT_EQ("><'&\"", XMLUnescape("&GT;&Lt;&APOS;&amp;&quoT;"));
    EXPECT_EQ("a & b", XMLUnescape("a & b"));
    EXPECT_EQ("1 < 2 &amp 3", XMLUnescape("1 &lt; 2 &amp 3"));
    EXPECT_EQ("&#60;&;&nbsp;&gt ;<x", XMLUnescape("&#60;&;&nbsp;&gt ;&lt;x"));
    EXPECT_EQ("&&amp; <", XMLUnescape("&&amp; &lt;")); // the name runs from the first "&"
}

TEST(XMLEntities, EscapeExactlyFiveCharacters) {
    EXPECT_EQ("a&amp;b&lt;c&gt;d 1\r\n2", XMLEscape("a&b<c>d 1\r\n2"));
    EXPECT_EQ("&apos;&quot;", XMLEscape("'\""));
    std::string all, expected;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
        switch (c) {
        case '>':
            expected += "&gt;";
            break;
        case '<':
            expected += "&lt;";
            break;
        case '\'':
            expected += "&apos;";
            break;
        case '&':
            expected += "&amp;";
            break;
        case '"':
            expected += "&quot;";
            break;
        default:
            expected += static_cast<char>(c);
        }
    }
    EXPECT_EQ(expected, XMLEscape(all));
    EXPECT_EQ(all, XMLUnescape(XMLEscape(all)));
}

// ---- Writing ------------------------------------------------------------------------------

TEST(XMLWrite, IndentationOfADatabaseTree) {
    TVnXMLElement root;
    root.Name = "vnt-db";
    root.Attributes = {"ver=3.08"};
    root.IsContainer = true;
    TVnXMLElement* table = root.AddChild();
    table->Name = "table";
    table->Attributes = {"name=T"};
    table->IsContainer = table->BlankLineAfter = true;
    TVnXMLElement* row = table->AddChild();
    row->Name = "row";
    row->IsContainer = true;
    TVnXMLElement* col = row->AddChild();
    col->Name = "col";
    col->Attributes = {"name=Text"};
    col->Text = "a&b<c>d\r\nnext";
    row->AddChild()->Name = "col";
    EXPECT_EQ("<vnt-db ver=\"3.08\">\r\n"
              "<table name=\"T\">\r\n"
              "  <row>\r\n"
              "    <col name=\"Text\">a&amp;b&lt;c&gt;d\r\nnext</col>\r\n"
              "    <col></col>\r\n"
              "  </row>\r\n"
              "</table>\r\n"
              "\r\n"
              "</vnt-db>\r\n",
              root.WriteText(-1));
}

TEST(XMLWrite, NonContainerWithChildrenAndRawAttributes) {
    TVnXMLElement a;
    a.Name = "a";
    a.Text = "x";
    a.Attributes = {"k=v=w", "q=say \"hi\""};
    a.AddChild()->Text = "y";
    EXPECT_EQ("<a k=\"v=w\" q=\"say \"hi\"\">x  <>y</>\r\n</a>\r\n", a.WriteText(0));
    EXPECT_EQ("    <a k=\"v=w\" q=\"say \"hi\"\">x      <>y</>\r\n</a>\r\n", a.WriteText(2));
    // Read back: the same tree, the child's indentation now in front of it in the text.
    a.Attributes.pop_back();
    TVnXMLElement parsed;
    parsed.Parse(a.WriteText(1));
    ExpectSameTree(a, parsed);
    EXPECT_EQ("x    ", parsed.Text);
}

TEST(XMLWrite, RoundTrip) {
    TVnXMLElement root;
    root.Name = "vnt-db";
    root.Attributes = {"ver=3.08", "x=" + VN_CP1251("Ёж")};
    for (int t = 0; t < 3; ++t) {
        TVnXMLElement* table = root.AddChild();
        table->Name = "table";
        table->Attributes = {"name=T" + std::to_string(t)};
        for (int r = 0; r < t; ++r) {
            TVnXMLElement* row = table->AddChild();
            row->Name = "row";
            row->IsContainer = true;
            for (const std::string& value :
                 {std::string(""), std::string("plain"), std::string("<&>'\"&amp;"),
                  std::string("two\r\nlines\r\n"), VN_CP1251("Привет, мир")}) {
                TVnXMLElement* col = row->AddChild();
                col->Name = "col";
                col->Attributes = {"name=C"};
                col->Text = value;
            }
        }
    }
    root.IsContainer = true;
    root.Child(1)->IsContainer = root.Child(2)->IsContainer = true;
    root.Child(2)->BlankLineAfter = true;

    const std::string text = root.WriteText(-1);
    TVnXMLElement parsed;
    parsed.Parse(text);
    ExpectSameTree(root, parsed);
    EXPECT_EQ("\r\n", parsed.Text); // the whitespace in front of the first child
    // The parser never sets BlankLineAfter; with the flags copied the text is reproduced.
    parsed.Child(2)->BlankLineAfter = true;
    EXPECT_EQ(text, parsed.WriteText(-1));
}

// ---- Tree operations ----------------------------------------------------------------------

TEST(XMLTree, ChildIndexAndClear) {
    TVnXMLElement root;
    for (int i = 0; i < 3; ++i)
        root.AddChild()->AddChild()->AddChild();
    EXPECT_EQ(3, root.ChildCount());
    try {
        root.Child(3);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ("List index out of bounds (3)", e.what());
    }
    EXPECT_THROW(root.Child(-1), EListError);
    root.Name = "kept";
    root.Clear();
    EXPECT_EQ(0, root.ChildCount());
    EXPECT_EQ("kept", root.Name);
}

TEST(XMLTree, DestroyUnlinksAndSetParentMoves) {
    TVnXMLElement root;
    TVnXMLElement* a = root.AddChild();
    TVnXMLElement* b = root.AddChild();
    TVnXMLElement* c = root.AddChild();
    a->Name = "a";
    b->Name = "b";
    c->Name = "c";
    b->AddChild()->Name = "b1";

    b->Destroy();
    ASSERT_EQ(2, root.ChildCount());
    EXPECT_EQ(a, root.Child(0));
    EXPECT_EQ(c, root.Child(1));

    a->SetParent(c);
    EXPECT_EQ(c, a->Parent());
    ASSERT_EQ(1, root.ChildCount());
    EXPECT_EQ(a, c->Child(0));

    a->SetParent(nullptr); // now a root of its own
    std::unique_ptr<TVnXMLElement> owned(a);
    EXPECT_EQ(nullptr, a->Parent());
    EXPECT_EQ(0, c->ChildCount());
    owned.release()->SetParent(&root); // and back, after c
    EXPECT_EQ(a, root.Child(1));
}

TEST(XMLTree, RemovalsAndInsertionsKeepOrder) {
    // Removals at scattered places with additions in between: the order must stay that of a
    // plain list.
    TVnXMLElement root;
    std::vector<TVnXMLElement*> model;
    for (int i = 0; i < 200; ++i) {
        model.push_back(root.AddChild());
        model.back()->Text = std::to_string(i);
    }
    unsigned step = 7;
    for (int round = 0; round < 150; ++round) {
        size_t index = (round * step) % model.size();
        model[index]->Destroy();
        model.erase(model.begin() + static_cast<long>(index));
        if (round % 3 == 0)
            model.push_back(root.AddChild());
        ASSERT_EQ(static_cast<int>(model.size()), root.ChildCount());
        for (size_t i = 0; i < model.size(); ++i)
            ASSERT_EQ(model[i], root.Child(static_cast<int>(i))) << round << " " << i;
    }
    size_t i = 0;
    for (TVnXMLElement* child : root.Children())
        EXPECT_EQ(model[i++], child);
}

TEST(XMLTree, FindChildAndAttributes) {
    TVnXMLElement root;
    TVnXMLElement* users = root.AddChild();
    users->Name = "Table";
    users->Attributes = {"kind=list", "name=" + VN_CP1251("Пользователи")};
    TVnXMLElement* main = root.AddChild();
    main->Name = "table";
    main->Attributes = {"NAME=Main=1"};

    TVnXMLElement* found = nullptr;
    EXPECT_TRUE(root.FindChild("table", found));
    EXPECT_EQ(main, found);
    found = nullptr;
    EXPECT_FALSE(root.FindChild("TABLE", found));
    EXPECT_EQ(nullptr, found);

    EXPECT_TRUE(root.FindChildByAttr("name", "main=1", found));
    EXPECT_EQ(main, found);
    // Cyrillic letters fold as well, Ё and Я included.
    EXPECT_TRUE(root.FindChildByAttr("Name", VN_CP1251("ПОЛЬЗОВАТЕЛИ"), found));
    EXPECT_EQ(users, found);
    EXPECT_TRUE(root.FindChildByAttr("kind", "LIST", found));
    EXPECT_FALSE(root.FindChildByAttr("name", "Main", found));

    EXPECT_EQ("Main=1", main->AttrValue("name"));
    EXPECT_EQ("list", users->AttrValue("KIND"));
    EXPECT_EQ("", users->AttrValue("missing"));
    TVnXMLElement cyrillic;
    cyrillic.Attributes = {VN_CP1251("ёжЯ=1")};
    EXPECT_EQ("1", cyrillic.AttrValue(VN_CP1251("ЁЖя")));
}

// ---- Saving -------------------------------------------------------------------------------

namespace fs = std::filesystem;

namespace {

void SampleTree(TVnXMLElement& root) {
    root.Name = "r";
    root.AddChild()->Text = "&";
}

// The names in a folder, sorted.
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(NativePath(folder)))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(XMLSave, StreamAndFile) {
    TVnXMLElement root;
    SampleTree(root);
    TVnStringStream stream;
    root.SaveToStream(stream);
    EXPECT_EQ("<r><>&amp;</>\r\n</r>\r\n", stream.DataString());

    TTempFolder folder;
    const std::string file = folder / "out.xml";
    WriteBytes(file, std::string(100000, 'x')); // longer than the new text: fully replaced
    root.SaveToFile(file);
    EXPECT_EQ(stream.DataString(), ReadBytes(file));
    EXPECT_EQ(std::vector<std::string>{"out.xml"}, FolderEntries(folder.Path()));
}

namespace {

// A tree whose text is several write pieces long: rows of escaped columns, attributes with and
// without values, a text longer than a piece.
void LargeTree(TVnXMLElement& root) {
    root.Name = "db";
    root.IsContainer = true;
    TVnXMLElement* table = root.AddChild();
    table->Name = "table";
    table->IsContainer = true;
    table->BlankLineAfter = true;
    for (int i = 0; i < 3000; ++i) {
        TVnXMLElement* row = table->AddChild();
        row->Name = "row";
        row->IsContainer = true;
        row->Attributes = {"id=" + std::to_string(i), "flag", "a=b=c"};
        TVnXMLElement* col = row->AddChild();
        col->Name = "col";
        col->Text = "<" + std::to_string(i) + "> & 'q' \"d\"\r\n";
    }
    root.AddChild()->Text = std::string(TVnXMLElement::WritePieceSize + 7, '&');
}

// Records every write, and fails (writes nothing) once `limit` bytes have gone through.
class TRecordingStream : public TVnStream {
public:
    explicit TRecordingStream(TVnStream* target = nullptr, size_t limit = SIZE_MAX)
        : FTarget(target), FLimit(limit) {}
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override {
        if (Data.size() >= FLimit)
            return 0;
        Data.append(static_cast<const char*>(buffer), count);
        Writes.push_back(count);
        return FTarget ? FTarget->Write(buffer, count) : count;
    }
    int64_t Seek(int64_t, VnPlatform::SeekOrigin) override { return 0; }

    std::string Data;
    std::vector<size_t> Writes;

private:
    TVnStream* FTarget;
    size_t FLimit;
};

} // namespace

TEST(XMLSave, WrittenInPiecesEqualsText) {
    TVnXMLElement root;
    LargeTree(root);
    const std::string text = root.WriteText(-1);
    ASSERT_GT(text.size(), 4 * TVnXMLElement::WritePieceSize);
    for (int level : {-1, 0, 2}) {
        SCOPED_TRACE(level);
        TRecordingStream stream;
        root.WriteToStream(stream, level);
        EXPECT_EQ(root.WriteText(level), stream.Data);
        EXPECT_GT(stream.Writes.size(), 3u);
        // Only the piece that holds the long text is much larger than a piece.
        size_t large = 0;
        for (size_t size : stream.Writes)
            large += size > TVnXMLElement::WritePieceSize + 200;
        EXPECT_EQ(1u, large);
    }

    TTempFolder folder;
    const std::string file = folder / "large.xml";
    root.SaveToFile(file);
    EXPECT_EQ(text, ReadBytes(file));
}

TEST(XMLSave, WriteFailingAfterSomePiecesKeepsOldFile) {
    TVnXMLElement root;
    LargeTree(root);
    TTempFolder folder;
    const std::string file = folder / "db.xml";
    WriteBytes(file, "old");
    size_t written = 0;
    EXPECT_THROW(WriteFileAtomic(file,
                                 [&](TVnStream& fileStream) {
                                     TRecordingStream failing(&fileStream,
                                                              2 * TVnXMLElement::WritePieceSize);
                                     try {
                                         root.WriteToStream(failing, -1);
                                     } catch (...) {
                                         written = failing.Data.size();
                                         throw;
                                     }
                                 }),
                 EWriteError);
    EXPECT_GE(written, 2 * TVnXMLElement::WritePieceSize); // pieces reached the temporary file
    EXPECT_EQ("old", ReadBytes(file));
    EXPECT_EQ(std::vector<std::string>{"db.xml"}, FolderEntries(folder.Path()));
}

TEST(XMLSave, FailedSaveKeepsOldFileAndLeavesNoTemporary) {
    TVnXMLElement root;
    SampleTree(root);
    TTempFolder folder;
    const std::string old = "previous contents\r\n";
    WriteBytes(folder / "plain", old);
    WriteBytes(folder / "dir" + PathDelim + "inner", "x");

    // A parent that is a file, a missing folder, a target that is a folder.
    for (const std::string& target : {folder / "plain" + PathDelim + "sub.xml",
                                      folder / "missing" + PathDelim + "sub.xml", folder / "dir"}) {
        SCOPED_TRACE(target);
        try {
            root.SaveToFile(target);
            ADD_FAILURE() << "saved";
        } catch (const EFCreateError& e) {
            EXPECT_TRUE(StartsWith(e.Message(), "Cannot create file \"" + target + "\". "))
                << e.Message();
        } catch (const EOSError& e) {
            EXPECT_TRUE(StartsWith(e.Message(), "System Error.  Code: ")) << e.Message();
        }
    }
    EXPECT_EQ(old, ReadBytes(folder / "plain"));
    EXPECT_EQ((std::vector<std::string>{"dir", "plain"}), FolderEntries(folder.Path()));
    EXPECT_EQ(std::vector<std::string>{"inner"}, FolderEntries(folder / "dir"));
}

TEST(XMLSave, ReadOnlyFolderKeepsOldFile) {
    TTempFolder folder;
    const std::string sub = folder / "ro";
    const std::string file = sub + PathDelim + "db.xml";
    WriteBytes(file, "old");
    fs::permissions(NativePath(sub),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    // Root, and Windows, which ignores the read-only mark of folders, write anyway.
    const bool writable = std::ofstream(NativePath(sub + PathDelim + "probe")).good();
    if (!writable) {
        TVnXMLElement root;
        SampleTree(root);
        EXPECT_THROW(root.SaveToFile(file), EFCreateError);
        EXPECT_EQ("old", ReadBytes(file));
        EXPECT_EQ(std::vector<std::string>{"db.xml"}, FolderEntries(sub));
    }
    fs::permissions(NativePath(sub), fs::perms::owner_all, fs::perm_options::add);
    if (writable)
        GTEST_SKIP() << "a read-only folder does not stop this user";
}

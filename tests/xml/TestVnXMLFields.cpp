// The compact form of the tree: shared names and attribute lists, text blocks, child blocks and
// the memory they live in, seen through the element's ordinary interface.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VnDB.h"
#include "VnXML.h"

namespace {

const std::string Database = "<vnt-db ver=\"3.08\">\r\n"
                             "<table name=\"T\">\r\n"
                             "  <row>\r\n"
                             "    <col name=\"ID\">1</col>\r\n"
                             "    <col name=\"Name\">one &amp; only</col>\r\n"
                             "  </row>\r\n"
                             "  <row>\r\n"
                             "    <col name=\"ID\">2</col>\r\n"
                             "    <col name=\"Name\">two</col>\r\n"
                             "  </row>\r\n"
                             "</table>\r\n"
                             "\r\n"
                             "</vnt-db>\r\n";

std::unique_ptr<TVnXMLElement> ParsedDatabase() {
    auto root = std::make_unique<TVnXMLElement>();
    root->Parse(Database);
    return root;
}

} // namespace

// ---- Shared names and attribute lists -----------------------------------------------------

TEST(XMLFields, SharedAttributeListsChangeOneElementOnly) {
    auto root = ParsedDatabase();
    TVnXMLElement* first = root->Child(0)->Child(0)->Child(0);
    TVnXMLElement* second = root->Child(0)->Child(1)->Child(0);
    ASSERT_EQ(first->Attributes, second->Attributes);

    first->Attributes.push_back("extra=1");
    EXPECT_EQ((std::vector<std::string>{"name=ID", "extra=1"}), first->Attributes);
    EXPECT_EQ(std::vector<std::string>{"name=ID"}, second->Attributes);

    // A change through a non-const iteration stays with the element iterated.
    for (std::string& attribute : second->Attributes)
        attribute = "name=Key";
    EXPECT_EQ("Key", second->AttrValue("name"));
    EXPECT_EQ("ID", root->Child(0)->Child(0)->Child(0)->AttrValue("name"));
    TVnXMLElement* found = nullptr;
    EXPECT_TRUE(root->Child(0)->Child(1)->FindChildByAttr("name", "key", found));
    EXPECT_EQ(second, found);

    first->Attributes.pop_back();
    first->Attributes.assign(2, "a=b");
    EXPECT_EQ((std::vector<std::string>{"a=b", "a=b"}), first->Attributes);
    first->Attributes.clear();
    EXPECT_TRUE(first->Attributes.empty());
    EXPECT_EQ("  <col>1</col>\r\n", first->WriteText(1));

    // Names are shared in the same way.
    TVnXMLElement* row = root->Child(0)->Child(1);
    row->Name = "line";
    EXPECT_EQ("row", root->Child(0)->Child(0)->Name);
    EXPECT_EQ("line", row->Name);
    row->Name = row->Name.str(); // assigned its own text
    EXPECT_EQ("line", row->Name);
}

TEST(XMLFields, EntriesWithSeveralEqualsAndDuplicateNames) {
    TVnXMLElement root;
    root.Parse("<a k=\"v=w=x\" k=\"second\" k = \"third\" q=\"\">t</a>");
    EXPECT_EQ((std::vector<std::string>{"k=v=w=x", "k=second", "k=third", "q="}), root.Attributes);
    EXPECT_EQ("v=w=x", root.AttrValue("K")); // the first entry of that name, after its first "="
    TVnXMLElement* found = nullptr;
    TVnXMLElement parent;
    parent.Parse("<p><a k=\"v=w\" k=\"v\"></a><b k=\"v\"></b></p>");
    EXPECT_TRUE(parent.FindChildByAttr("k", "v", found));
    EXPECT_EQ(parent.Child(0), found); // its second entry matches
    EXPECT_EQ("<a k=\"v=w=x\" k=\"second\" k=\"third\" q=\"\">t</a>\r\n", root.WriteText(0));

    // Entries that differ only in how they split into name and value are different lists.
    TVnXMLElement x, y;
    x.Attributes = {"a=b=c"};
    y.Attributes = {"a=b", "=c"};
    EXPECT_NE(x.Attributes, y.Attributes);
    x.Attributes = {"ab", "c"};
    y.Attributes = {"a", "bc"};
    EXPECT_NE(x.Attributes, y.Attributes);
}

// ---- Texts --------------------------------------------------------------------------------

TEST(XMLFields, TextsWithNulBytesAndLineBreaks) {
    const std::string value("a\0b\r\nc\0", 7);
    TVnXMLElement root;
    root.Parse("<r><c>" + value + "</c><d>\r\n</d></r>");
    ASSERT_EQ(2, root.ChildCount());
    EXPECT_EQ(value, root.Child(0)->Text);
    EXPECT_EQ(7u, root.Child(0)->Text.size());
    EXPECT_EQ("\r\n", root.Child(1)->Text);
    EXPECT_EQ("<c>" + value + "</c>\r\n", root.Child(0)->WriteText(0));

    TVnXMLElement element;
    element.Text = value;
    const std::string copy = element.Text;
    EXPECT_EQ(value, copy);
    element.Text = element.Text; // itself
    EXPECT_EQ(value, element.Text);
    element.Text = std::string(element.Text).substr(1); // a text made from its own
    EXPECT_EQ(value.substr(1), element.Text);
    EXPECT_EQ("x" + value.substr(1), "x" + element.Text);
    element.Text = "";
    EXPECT_TRUE(element.Text.empty());
    EXPECT_STREQ("", element.Text.c_str());
}

// ---- Moving subtrees between trees ----------------------------------------------------------

class XMLMoveBetweenTrees : public ::testing::TestWithParam<bool> {};

TEST_P(XMLMoveBetweenTrees, BothRootsDestroyedInEitherOrder) {
    const bool sourceFirst = GetParam();
    auto source = ParsedDatabase();
    auto target = std::make_unique<TVnXMLElement>();
    target->Parse("<vnt-db ver=\"3.08\">\r\n</vnt-db>\r\n");
    TVnXMLElement* table = source->Child(0);
    table->SetParent(target.get());
    EXPECT_EQ(0, source->ChildCount());
    ASSERT_EQ(1, target->ChildCount());
    EXPECT_EQ(target.get(), table->Parent());

    // Built on in its new tree, also after the old tree has gone.
    TVnXMLElement* row = table->Child(0);
    if (sourceFirst)
        source.reset();
    AddRowField(row, "Added", "new <text>");
    row->Child(1)->Text = "changed";
    const std::string expected = "<vnt-db ver=\"3.08\">\r\n"
                                 "<table name=\"T\">\r\n"
                                 "  <row>\r\n"
                                 "    <col name=\"ID\">1</col>\r\n"
                                 "    <col name=\"Name\">changed</col>\r\n"
                                 "    <col name=\"Added\">new &lt;text&gt;</col>\r\n"
                                 "  </row>\r\n"
                                 "  <row>\r\n"
                                 "    <col name=\"ID\">2</col>\r\n"
                                 "    <col name=\"Name\">two</col>\r\n"
                                 "  </row>\r\n"
                                 "</table>\r\n"
                                 "\r\n"
                                 "</vnt-db>\r\n";
    EXPECT_EQ(expected, DatabaseText(*target));

    // And back into the old tree, when it is still there.
    if (!sourceFirst) {
        table->SetParent(source.get());
        EXPECT_EQ(0, target->ChildCount());
        EXPECT_EQ(expected, DatabaseText(*source));
    }
    target.reset();
    source.reset();
}

INSTANTIATE_TEST_SUITE_P(SourceFirstOrTargetFirst, XMLMoveBetweenTrees, ::testing::Bool());

TEST(XMLMove, DetachedSubtreeOutlivesItsTree) {
    auto source = ParsedDatabase();
    TVnXMLElement* row = source->Child(0)->Child(1);
    row->SetParent(nullptr);
    std::unique_ptr<TVnXMLElement> owned(row);
    source.reset();
    EXPECT_EQ("<row>\r\n  <col name=\"ID\">2</col>\r\n  <col name=\"Name\">two</col>\r\n</row>\r\n",
              owned->WriteText(0));
    TVnXMLElement stackRoot;
    owned.release()->SetParent(&stackRoot); // destroyed with the root on the stack
    EXPECT_EQ(1, stackRoot.ChildCount());
}

// ---- Destroying while walking ---------------------------------------------------------------

TEST(XMLDestroy, InsideForEachRowOfAParsedTable) {
    std::string text = "<vnt-db>\r\n<table name=\"T\">\r\n";
    for (int i = 0; i < 1000; ++i)
        text += "  <row>\r\n    <col name=\"ID\">" + std::to_string(i) + "</col>\r\n  </row>\r\n";
    text += "</table>\r\n</vnt-db>\r\n";
    TVnXMLElement root;
    root.Parse(text);
    CurrentDB = &root;
    std::vector<std::string> kept, seen;
    ForEachRow("T", [&] {
        const std::string id = GetField("ID");
        seen.push_back(id);
        if (std::stoi(id) % 3 != 0) {
            CurrentRow->Destroy();
            CurrentRow = nullptr;
        } else {
            kept.push_back(id);
            AddField("Extra", id); // a row that grows while the walk goes on
        }
    });
    CurrentDB = nullptr;
    CurrentRow = nullptr;
    ASSERT_EQ(1000u, seen.size());
    const TVnXMLElement* table = root.Child(0);
    ASSERT_EQ(static_cast<int>(kept.size()), table->ChildCount());
    for (int i = 0; i < table->ChildCount(); ++i) {
        EXPECT_EQ(kept[static_cast<size_t>(i)], table->Child(i)->Child(0)->Text);
        EXPECT_EQ(kept[static_cast<size_t>(i)], table->Child(i)->Child(1)->Text);
    }
    root.Clear();
    EXPECT_EQ(0, root.ChildCount());
}

TEST(XMLDestroy, DeepTreesWithoutRecursion) {
    // Parse, write and destroy a chain far deeper than any call stack would allow.
    const int depth = 200000;
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<e>";
    for (int i = 0; i < depth; ++i)
        text += "</e>";
    auto root = std::make_unique<TVnXMLElement>();
    root->Parse(text);
    // Levels below zero are not indented: containers "<e>" CR LF ... "</e>" CR LF, the innermost
    // element "<e></e>" CR LF.
    const std::string written = root->WriteText(-depth);
    EXPECT_EQ(static_cast<size_t>(depth - 1) * 11 + 9, written.size());
    EXPECT_EQ("<e>\r\n<e>\r\n", written.substr(0, 10));
    root.reset();
}

TEST(XMLDestroy, MalformedInputKeepsWhatWasBuilt) {
    TVnXMLElement root;
    EXPECT_THROW(root.Parse("<r><a>x</a><b><c>y</c>"), EVnException);
    ASSERT_EQ(2, root.ChildCount());
    EXPECT_EQ("x", root.Child(0)->Text);
    ASSERT_EQ(1, root.Child(1)->ChildCount());
    EXPECT_EQ("y", root.Child(1)->Child(0)->Text);
    EXPECT_EQ(root.Child(1), root.Child(1)->Child(0)->Parent());
}

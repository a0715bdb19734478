#include "VnDB.h"

#include <algorithm>

TVnXMLElement* CurrentDB = nullptr;
TVnXMLElement* CurrentRow = nullptr;

const char* const DatabaseVersion = "3.08";

namespace {

const char* const NameAttr = "name";

// Puts CurrentRow back when the scope ends, also when an exception passes.
class TVnCurrentRowKeeper {
public:
    TVnCurrentRowKeeper() : FSaved(CurrentRow) {}
    ~TVnCurrentRowKeeper() { CurrentRow = FSaved; }
    TVnCurrentRowKeeper(const TVnCurrentRowKeeper&) = delete;
    TVnCurrentRowKeeper& operator=(const TVnCurrentRowKeeper&) = delete;

private:
    TVnXMLElement* FSaved;
};

TVnXMLElement* InitNamedElement(TVnXMLElement* element, const std::string& tag,
                                const std::string& name, const std::string& value) {
    element->Name = tag;
    element->Attributes.push_back(std::string(NameAttr) + "=" + name);
    element->Text = value;
    return element;
}

// Replaces the value of the element's first name entry.
void SetNameAttr(TVnXMLElement* element, const std::string& name) {
    // Changed in a copy and assigned, so that the element shares the list of its new entries.
    std::vector<std::string> entries = element->Attributes;
    for (std::string& attribute : entries) {
        size_t equals = attribute.find('=');
        if (VnPlatform::SameTextLocale(attribute.substr(0, equals), NameAttr)) {
            attribute.replace(equals + 1, std::string::npos, name);
            element->Attributes = entries;
            return;
        }
    }
}

TVnXMLElement* FirstRow(const std::string& table) {
    return FindTable(table)->Child(0);
}

// A decimal integer: an optional minus sign and digits, nothing else (no blanks, no plus sign, no
// hexadecimal forms). Anything else, or a value out of range, raises EConvertError.
long DecimalValue(const std::string& text) {
    const size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == first || text.find_first_not_of("0123456789", first) != std::string::npos)
        throw EConvertError(Format("'%s' is not a valid integer value", text.c_str()));
    return StrToInt(text);
}

} // namespace

// ---- Lookup -------------------------------------------------------------------------------

TVnXMLElement* FindTable(const std::string& table) {
    TVnXMLElement* element = nullptr;
    if (!CurrentDB->FindChildByAttr(NameAttr, table, element))
        throw EVnException(Format("Table \"%s\" not found", table.c_str()));
    return element;
}

TVnXMLElement* FindField(const TVnXMLElement* row, const std::string& field) {
    TVnXMLElement* element = nullptr;
    if (!row->FindChildByAttr(NameAttr, field, element)) {
        std::string table = row->Parent() ? row->Parent()->AttrValue(NameAttr) : std::string();
        throw EVnException(Format("Field \"%s.%s\" not found", table.c_str(), field.c_str()));
    }
    return element;
}

TVnXMLElement* CurField(const std::string& field) {
    return FindField(CurrentRow, field);
}

std::string GetField(const std::string& field) {
    return CurField(field)->Text;
}

std::string GetTableField(const std::string& table, const std::string& field) {
    return FindField(FirstRow(table), field)->Text;
}

// ---- Change -------------------------------------------------------------------------------

void SetField(const std::string& field, const std::string& value) {
    CurField(field)->Text = value;
}

void SetTableField(const std::string& table, const std::string& field, const std::string& value) {
    FindField(FirstRow(table), field)->Text = value;
}

void RenameField(const std::string& oldName, const std::string& newName) {
    SetNameAttr(CurField(oldName), newName);
}

void RenameTable(const std::string& oldName, const std::string& newName) {
    SetNameAttr(FindTable(oldName), newName);
}

// ---- Addition -----------------------------------------------------------------------------

TVnXMLElement* AddRowField(TVnXMLElement* row, const std::string& field, const std::string& value) {
    return InitNamedElement(row->AddChild(), "col", field, value);
}

TVnXMLElement* AddField(const std::string& field, const std::string& value) {
    return AddRowField(CurrentRow, field, value);
}

TVnXMLElement* AddTableField(const std::string& table, const std::string& field,
                             const std::string& value) {
    return AddRowField(FirstRow(table), field, value);
}

TVnXMLElement* AddRow(const std::string& table) {
    TVnXMLElement* row = FindTable(table)->AddChild();
    row->Name = "row";
    row->IsContainer = true;
    CurrentRow = row;
    return row;
}

TVnXMLElement* AddTable(const std::string& table) {
    return InitNamedElement(CurrentDB->AddChild(), "table", table, "");
}

// ---- Search and numbering -----------------------------------------------------------------

bool LocateRow(const std::string& table, const std::string& field, const std::string& value) {
    for (TVnXMLElement* row : FindTable(table)->Children()) {
        CurrentRow = row;
        if (VnPlatform::SameTextLocale(FindField(row, field)->Text, value))
            return true;
    }
    return false;
}

bool LocateID(const std::string& table, const std::string& id) {
    return LocateRow(table, "ID", id);
}

std::string NextValue(const std::string& table, const std::string& field) {
    // Reads the rows without moving CurrentRow.
    long largest = 0;
    for (const TVnXMLElement* row : FindTable(table)->Children())
        largest = std::max(largest, DecimalValue(FindField(row, field)->Text));
    return std::to_string(static_cast<long long>(largest) + 1);
}

std::string NextID(const std::string& table) {
    return NextValue(table, "ID");
}

std::string NextIndex(const std::string& table) {
    return NextValue(table, "Index");
}

std::string UniqueName(const std::string& table, const std::string& baseName) {
    TVnCurrentRowKeeper keeper;
    std::string name = baseName;
    for (long number = 1; LocateRow(table, "Name", name); ++number)
        name = baseName + " " + IntToStr(number);
    return name;
}

// ---- Iteration ----------------------------------------------------------------------------

void ForEachRow(const std::string& table, const std::function<void()>& procedure) {
    TVnXMLElement* element = FindTable(table);
    for (int index = 0; index < element->ChildCount();) {
        CurrentRow = element->Child(index);
        procedure();
        if (CurrentRow)
            ++index;
    }
}

// ---- Version and files --------------------------------------------------------------------

int VersionNumber(const std::string& version) {
    if (version.empty())
        return 2039;
    std::string digits;
    for (char c : version)
        if (c >= '0' && c <= '9')
            digits += c;
    digits += '9';
    return static_cast<int>(StrToInt(digits.substr(0, 4)));
}

bool ReadDatabaseFile(const std::string& fileName, int& version, std::string& text) {
    text.clear();
    if (!VnPlatform::FileExists(fileName))
        return false;
    text = ReadFileText(fileName);
    if (text.empty())
        return false;
    // The version from the head only: the root's start tag, closed at once.
    TVnXMLElement head;
    head.Parse(text.substr(0, text.find('>')) + "></>");
    version = VersionNumber(head.AttrValue("ver"));
    if (version < 2043) {
        // The older entity form: "&lt" and "&amp" without their semicolons.
        text = ReplaceAllIgnoreCase(text, "&lt", "&lt;");
        text = ReplaceAllIgnoreCase(text, "&amp", "&amp;");
    }
    return true;
}

namespace {

void MarkDatabaseLayout(TVnXMLElement& root) {
    root.Attributes.assign(1, std::string("ver=") + DatabaseVersion);
    // The root is a container as well, so that a tree built in memory gets the same layout as
    // one read from a file.
    root.IsContainer = true;
    for (TVnXMLElement* table : root.Children()) {
        table->IsContainer = true;
        table->BlankLineAfter = true;
    }
}

} // namespace

std::string DatabaseText(TVnXMLElement& root) {
    MarkDatabaseLayout(root);
    return root.WriteText(-1);
}

void WriteDatabase(TVnStream& stream, TVnXMLElement& root) {
    MarkDatabaseLayout(root);
    root.WriteToStream(stream, -1);
}

void WriteDatabaseFile(const std::string& fileName, TVnXMLElement& root) {
    WriteFileAtomic(fileName, [&root](TVnStream& stream) { WriteDatabase(stream, root); });
}

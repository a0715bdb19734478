#include "VnXML.h"

#include <algorithm>
#include <iterator>

namespace {

// Five 6-character entries in descending character order: the character, the length of its
// entity name as one digit, the name padded with spaces to four characters.
const std::string EntityTable = ">2gt  <2lt  '4apos&3amp \"4quot";
constexpr size_t EntityEntrySize = 6;

const std::string Whitespace = " \t\r\n";
const std::string WhitespaceOrGreater = " \t\r\n>";
const std::string EqualsOrWhitespace = "= \t\r\n";
const char* const IncorrectXMLData = "Incorrect XML data";

void AppendIndentation(std::string& out, int level) {
    if (level > 0)
        out.append(2 * static_cast<size_t>(level), ' ');
}

// The tokenizer of the parser over one input text, positions counted from 1.
class TVnXMLScanner {
public:
    explicit TVnXMLScanner(const std::string& text) : FText(text) {}

    // The text from the position up to the first character of the set (or the end); the position
    // moves onto that character, or with skip past the whole run of set characters.
    std::string Scan(const std::string& set, bool skip) {
        std::string token;
        TokenAt(FText, FPos, set, token, skip);
        return token;
    }
    void Advance() { ++FPos; }
    // True while the position stands on a character that has at least one more behind it.
    bool BeforeLast() const { return FPos < FText.size(); }
    char Current() const { return FText[FPos - 1]; }
    char Next() const { return FText[FPos]; }

    // The start of an element: its start tag with name and attributes, then its text up to the
    // next "<", on which the position is left. Text in front of the tag is skipped, and so is a
    // run of "<".
    void ParseHead(TVnXMLElement& element) {
        Scan("<", true);
        element.Name = Scan(WhitespaceOrGreater, false);
        while (BeforeLast() && Current() != '>') {
            Scan(Whitespace, true);
            std::string name = Scan(EqualsOrWhitespace, true);
            Advance(); // the opening quote
            element.Attributes.push_back(name + "=" + Scan("\"", true));
        }
        if (!BeforeLast())
            throw EVnException(IncorrectXMLData);
        Advance(); // the ">"
        element.Text = XMLUnescape(Scan("<", false));
    }

    // True when the position stands on the "<" of an end tag; false on the "<" of a child. Input
    // that ends before either raises.
    bool AtEndTag() const {
        if (!BeforeLast())
            throw EVnException(IncorrectXMLData);
        return Next() == '/';
    }

private:
    const std::string& FText;
    size_t FPos = 1;
};

} // namespace

// ---- TVnXMLElementList --------------------------------------------------------------------

void TVnXMLElementList::MoveGap(size_t index) {
    if (index < FGapBegin) {
        std::move_backward(FItems.begin() + index, FItems.begin() + FGapBegin,
                           FItems.begin() + FGapEnd);
        FGapEnd -= FGapBegin - index;
    } else if (index > FGapBegin) {
        size_t count = index - FGapBegin;
        std::move(FItems.begin() + FGapEnd, FItems.begin() + FGapEnd + count,
                  FItems.begin() + FGapBegin);
        FGapEnd += count;
    }
    FGapBegin = index;
}

void TVnXMLElementList::Add(std::unique_ptr<TVnXMLElement> item) {
    MoveGap(static_cast<size_t>(Count()));
    if (FGapBegin < FGapEnd) {
        FItems[FGapBegin++] = std::move(item);
    } else {
        FItems.push_back(std::move(item));
        FGapBegin = FGapEnd = FItems.size();
    }
}

std::unique_ptr<TVnXMLElement> TVnXMLElementList::Extract(const TVnXMLElement* item) {
    // Search outwards from the gap: the place of the last change is where the next one usually is.
    const size_t count = static_cast<size_t>(Count());
    size_t index = count;
    for (size_t d = 0; d < count && index == count; ++d) {
        if (FGapBegin + d < count && (*this)[static_cast<int>(FGapBegin + d)] == item)
            index = FGapBegin + d;
        else if (d < FGapBegin && (*this)[static_cast<int>(FGapBegin - 1 - d)] == item)
            index = FGapBegin - 1 - d;
    }
    if (index == count)
        return nullptr;
    MoveGap(index);
    return std::move(FItems[FGapEnd++]);
}

TVnXMLElementList::TItems TVnXMLElementList::TakeAll() {
    MoveGap(static_cast<size_t>(Count()));
    FItems.resize(FGapBegin);
    TItems items;
    items.swap(FItems);
    FGapBegin = FGapEnd = 0;
    return items;
}

// ---- TVnXMLElement ------------------------------------------------------------------------

TVnXMLElement::~TVnXMLElement() {
    if (FParent)
        FParent->FChildren.Extract(this).release(); // the parent no longer owns this element
    Clear();
}

void TVnXMLElement::Clear() {
    // Without recursion: each element is destroyed only after its children have been taken over
    // into the pending list, so no destructor finds children of its own.
    TVnXMLElementList::TItems pending = FChildren.TakeAll();
    while (!pending.empty()) {
        std::unique_ptr<TVnXMLElement> element = std::move(pending.back());
        pending.pop_back();
        element->FParent = nullptr;
        TVnXMLElementList::TItems children = element->FChildren.TakeAll();
        pending.insert(pending.end(), std::make_move_iterator(children.begin()),
                       std::make_move_iterator(children.end()));
    }
}

TVnXMLElement* TVnXMLElement::Child(int index) const {
    if (index < 0 || index >= ChildCount())
        throw EListError(index);
    return FChildren[index];
}

TVnXMLElement* TVnXMLElement::AddChild() {
    std::unique_ptr<TVnXMLElement> child(new TVnXMLElement);
    child->FParent = this;
    TVnXMLElement* result = child.get();
    FChildren.Add(std::move(child));
    return result;
}

void TVnXMLElement::SetParent(TVnXMLElement* parent) {
    std::unique_ptr<TVnXMLElement> self;
    if (FParent)
        self = FParent->FChildren.Extract(this);
    else
        self.reset(this); // a root moving under a parent: the parent takes over
    FParent = parent;
    if (parent)
        parent->FChildren.Add(std::move(self));
    else
        self.release(); // a root now; its owner is the caller
}

bool TVnXMLElement::FindChild(const std::string& name, TVnXMLElement*& element) const {
    for (TVnXMLElement* child : FChildren) {
        if (child->Name == name) {
            element = child;
            return true;
        }
    }
    return false;
}

bool TVnXMLElement::FindChildByAttr(const std::string& attrName, const std::string& value,
                                    TVnXMLElement*& element) const {
    const std::string entry = attrName + "=" + value;
    for (TVnXMLElement* child : FChildren) {
        for (const std::string& attribute : child->Attributes) {
            if (VnPlatform::SameTextLocale(attribute, entry)) {
                element = child;
                return true;
            }
        }
    }
    return false;
}

std::string TVnXMLElement::AttrValue(const std::string& attrName) const {
    for (const std::string& attribute : Attributes) {
        size_t equals = attribute.find('=');
        if (VnPlatform::SameTextLocale(attribute.substr(0, equals), attrName))
            return equals == std::string::npos ? std::string() : attribute.substr(equals + 1);
    }
    return std::string();
}

void TVnXMLElement::Parse(const std::string& text) {
    // Each element on the stack has read its start tag and text and waits for a child or its end
    // tag; an explicit stack, since the depth of the input is the input's choice.
    TVnXMLScanner scanner(text);
    scanner.ParseHead(*this);
    std::vector<TVnXMLElement*> open{this};
    while (!open.empty()) {
        TVnXMLElement* element = open.back();
        if (!scanner.AtEndTag()) {
            TVnXMLElement* child = element->AddChild();
            scanner.ParseHead(*child);
            open.push_back(child);
            continue;
        }
        element->IsContainer = element->ChildCount() > 0;
        scanner.Scan(">", true); // the end tag, whatever name it carries
        open.pop_back();
        if (!open.empty())
            scanner.Scan("<", false); // text between children is dropped
    }
}

namespace {

void AppendStartTag(std::string& out, const TVnXMLElement& element, int level) {
    AppendIndentation(out, level);
    out += '<';
    out += element.Name;
    for (const std::string& attribute : element.Attributes) {
        size_t equals = std::min(attribute.find('='), attribute.size());
        out += ' ';
        out.append(attribute, 0, equals);
        out += "=\"";
        if (equals < attribute.size())
            out.append(attribute, equals + 1, std::string::npos);
        out += '"';
    }
    out += '>';
    if (element.IsContainer)
        out += "\r\n";
    else
        out += XMLEscape(element.Text);
}

void AppendEndTag(std::string& out, const TVnXMLElement& element, int level) {
    if (element.IsContainer)
        AppendIndentation(out, level);
    out += "</";
    out += element.Name;
    out += ">\r\n";
    if (element.BlankLineAfter)
        out += "\r\n";
}

} // namespace

std::string TVnXMLElement::WriteText(int level) const {
    struct TFrame {
        const TVnXMLElement* Element;
        int Level;
        int NextChild;
    };
    std::string out;
    std::vector<TFrame> open{{this, level, 0}};
    AppendStartTag(out, *this, level);
    while (!open.empty()) {
        TFrame& frame = open.back();
        if (frame.NextChild < frame.Element->ChildCount()) {
            const TVnXMLElement* child = frame.Element->FChildren[frame.NextChild++];
            int childLevel = frame.Level + 1;
            AppendStartTag(out, *child, childLevel);
            open.push_back({child, childLevel, 0}); // frame is not used after this
        } else {
            AppendEndTag(out, *frame.Element, frame.Level);
            open.pop_back();
        }
    }
    return out;
}

void TVnXMLElement::SaveToStream(TVnStream& stream) const {
    std::string text = WriteText(-1);
    stream.WriteBuffer(text.data(), text.size());
}

void TVnXMLElement::SaveToFile(const std::string& fileName) const {
    WriteFileAtomic(fileName, WriteText(-1));
}

// ---- Escaping -----------------------------------------------------------------------------

std::string XMLEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const unsigned char code = static_cast<unsigned char>(c);
        size_t entry = 0;
        // Descending table: most characters are decided by the first comparison.
        while (entry < EntityTable.size() && static_cast<unsigned char>(EntityTable[entry]) > code)
            entry += EntityEntrySize;
        if (entry < EntityTable.size() && EntityTable[entry] == c) {
            size_t nameLength = static_cast<size_t>(EntityTable[entry + 1] - '0');
            out += '&';
            out.append(EntityTable, entry + 2, nameLength);
            out += ';';
        } else {
            out += c;
        }
    }
    return out;
}

std::string XMLUnescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (true) {
        size_t amp = text.find('&', pos);
        out.append(text, pos, amp == std::string::npos ? std::string::npos : amp - pos);
        if (amp == std::string::npos)
            break;
        size_t semicolon = text.find(';', amp + 1);
        if (semicolon == std::string::npos) {
            out.append(text, amp, std::string::npos);
            break;
        }
        std::string name = text.substr(amp + 1, semicolon - amp - 1);
        size_t found = std::string::npos;
        if (name.size() < EntityTable.size()) // a longer key cannot occur in the table
            found = EntityTable.find(static_cast<char>('0' + name.size()) + AsciiLowerCase(name));
        if (found != std::string::npos && found > 0) {
            out += EntityTable[found - 1];
        } else {
            out += '&';
            out += name;
            out += ';';
        }
        pos = semicolon + 1;
    }
    return out;
}

#include "VnXML.h"

#include <algorithm>
#include <iterator>

#include "VnXMLPool.h"

namespace {

// Five 6-character entries in descending character order: the character, the length of its
// entity name as one digit, the name padded with spaces to four characters.
const std::string EntityTable = ">2gt  <2lt  '4apos&3amp \"4quot";
constexpr size_t EntityEntrySize = 6;

constexpr std::string_view Whitespace = " \t\r\n";
constexpr std::string_view WhitespaceOrGreater = " \t\r\n>";
constexpr std::string_view EqualsOrWhitespace = "= \t\r\n";
const char* const IncorrectXMLData = "Incorrect XML data";

void AppendIndentation(std::string& out, int level) {
    if (level > 0)
        out.append(2 * static_cast<size_t>(level), ' ');
}

std::string_view UnescapedOrView(std::string_view text, std::string& buffer);

// The tokenizer of the parser over one input text, positions counted from 1.
class TVnXMLScanner {
public:
    explicit TVnXMLScanner(std::string_view text) : FText(text) {}

    // The text from the position up to the first character of the set (or the end); the position
    // moves onto that character, or with skip past the whole run of set characters.
    std::string_view Scan(std::string_view set, bool skip) {
        const size_t start = std::min(FPos - 1, FText.size());
        size_t stop = std::min(FText.find_first_of(set, start), FText.size());
        const std::string_view token = FText.substr(start, stop - start);
        if (skip)
            stop = std::min(FText.find_first_not_of(set, stop), FText.size());
        FPos = stop + 1;
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
        size_t count = 0;
        while (BeforeLast() && Current() != '>') {
            Scan(Whitespace, true);
            const std::string_view name = Scan(EqualsOrWhitespace, true);
            Advance(); // the opening quote
            const std::string_view value = Scan("\"", true);
            if (count == FEntries.size())
                FEntries.emplace_back();
            FEntries[count].assign(name).append(1, '=').append(value);
            ++count;
        }
        if (count > 0) {
            FEntries.resize(count);
            // An element parsed into keeps what it had (usually nothing).
            const TVnXMLAttributes& old = element.Attributes;
            FEntries.insert(FEntries.begin(), old.begin(), old.end());
            element.Attributes.Assign(FEntries);
        }
        if (!BeforeLast())
            throw EVnException(IncorrectXMLData);
        Advance(); // the ">"
        element.Text = UnescapedOrView(Scan("<", false), FBuffer);
    }

    // True when the position stands on the "<" of an end tag; false on the "<" of a child. Input
    // that ends before either raises.
    bool AtEndTag() const {
        if (!BeforeLast())
            throw EVnException(IncorrectXMLData);
        return Next() == '/';
    }

private:
    const std::string_view FText;
    size_t FPos = 1;
    std::vector<std::string> FEntries; // reused from element to element
    std::string FBuffer;
};

} // namespace

// ---- TVnXMLElementList --------------------------------------------------------------------

size_t TVnXMLElementList::BlockBytes(size_t capacity) {
    return sizeof(TBlock) + capacity * sizeof(TVnXMLElement*);
}

void TVnXMLElementList::MoveGap(size_t index) {
    TVnXMLElement** items = FBlock->Items();
    const size_t gapBegin = FBlock->GapBegin, gapEnd = FBlock->GapEnd;
    if (index < gapBegin) {
        std::move_backward(items + index, items + gapBegin, items + gapEnd);
        FBlock->GapEnd = static_cast<uint32_t>(gapEnd - (gapBegin - index));
    } else if (index > gapBegin) {
        const size_t count = index - gapBegin;
        std::move(items + gapEnd, items + gapEnd + count, items + gapBegin);
        FBlock->GapEnd = static_cast<uint32_t>(gapEnd + count);
    }
    FBlock->GapBegin = static_cast<uint32_t>(index);
}

void TVnXMLElementList::Resize(size_t capacity) {
    const size_t count = static_cast<size_t>(Count());
    TBlock* block = nullptr;
    if (capacity > 0) {
        block = static_cast<TBlock*>(::operator new(BlockBytes(capacity)));
        for (size_t i = 0; i < count; ++i)
            block->Items()[i] = (*this)[static_cast<int>(i)];
        block->Capacity = static_cast<uint32_t>(capacity);
        block->GapBegin = static_cast<uint32_t>(count);
        block->GapEnd = static_cast<uint32_t>(capacity);
    }
    ::operator delete(FBlock);
    FBlock = block;
}

void TVnXMLElementList::Add(TVnXMLElement* item) {
    const size_t count = static_cast<size_t>(Count());
    if (!FBlock || GapSize() == 0)
        Resize(count + count / 2 + 1);
    MoveGap(count);
    FBlock->Items()[FBlock->GapBegin++] = item;
}

void TVnXMLElementList::Append(TVnXMLElement* const* items, size_t count) {
    if (count == 0)
        return;
    const size_t present = static_cast<size_t>(Count());
    Resize(present + count);
    std::copy(items, items + count, FBlock->Items() + present);
    FBlock->GapBegin = FBlock->GapEnd = FBlock->Capacity;
}

bool TVnXMLElementList::Extract(const TVnXMLElement* item) {
    // Search outwards from the gap: the place of the last change is where the next one usually is.
    const size_t count = static_cast<size_t>(Count());
    const size_t gap = FBlock ? FBlock->GapBegin : 0;
    size_t index = count;
    for (size_t d = 0; d < count && index == count; ++d) {
        if (gap + d < count && (*this)[static_cast<int>(gap + d)] == item)
            index = gap + d;
        else if (d < gap && (*this)[static_cast<int>(gap - 1 - d)] == item)
            index = gap - 1 - d;
    }
    if (index == count)
        return false;
    MoveGap(index);
    ++FBlock->GapEnd;
    if (Count() == 0)
        Resize(0);
    return true;
}

std::vector<TVnXMLElement*> TVnXMLElementList::TakeAll() {
    std::vector<TVnXMLElement*> items;
    items.reserve(static_cast<size_t>(Count()));
    for (TVnXMLElement* item : *this)
        items.push_back(item);
    Resize(0);
    return items;
}

// ---- TVnXMLElement ------------------------------------------------------------------------

void* TVnXMLElement::operator new(size_t size) {
    return VnXMLPool::Allocate(size);
}

void TVnXMLElement::operator delete(void* block, size_t size) {
    VnXMLPool::Free(block, size);
}

TVnXMLElement::~TVnXMLElement() {
    if (FParent)
        FParent->FChildren.Extract(this); // the parent no longer owns this element
    Clear();
}

void TVnXMLElement::Clear() {
    // Without recursion: each element is destroyed only after its children have been taken over
    // into the pending list, so no destructor finds children of its own.
    std::vector<TVnXMLElement*> pending = FChildren.TakeAll();
    while (!pending.empty()) {
        TVnXMLElement* element = pending.back();
        pending.pop_back();
        element->FParent = nullptr;
        for (TVnXMLElement* child : element->FChildren)
            pending.push_back(child);
        element->FChildren.Resize(0);
        delete element;
    }
}

TVnXMLElement* TVnXMLElement::Child(int index) const {
    if (index < 0 || index >= ChildCount())
        throw EListError(index);
    return FChildren[index];
}

TVnXMLElement* TVnXMLElement::AddChild() {
    TVnXMLElement* child = new TVnXMLElement;
    child->FParent = this;
    try {
        FChildren.Add(child);
    } catch (...) {
        child->FParent = nullptr;
        delete child;
        throw;
    }
    return child;
}

void TVnXMLElement::SetParent(TVnXMLElement* parent) {
    // Elements live in memory shared by all trees, so a subtree may move between trees freely.
    if (FParent)
        FParent->FChildren.Extract(this);
    FParent = nullptr; // a root, should the parent have no room
    if (parent)
        parent->FChildren.Add(this);
    FParent = parent;
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
    for (const TVnXMLElement* child : FChildren) {
        for (const std::string& attribute : child->Attributes.Entries()) {
            if (VnPlatform::SameTextLocale(attribute, entry)) {
                element = const_cast<TVnXMLElement*>(child);
                return true;
            }
        }
    }
    return false;
}

std::string TVnXMLElement::AttrValue(const std::string& attrName) const {
    for (const std::string& attribute : Attributes.Entries()) {
        size_t equals = attribute.find('=');
        if (VnPlatform::SameTextLocale(attribute.substr(0, equals), attrName))
            return equals == std::string::npos ? std::string() : attribute.substr(equals + 1);
    }
    return std::string();
}

void TVnXMLElement::Parse(const std::string& text) {
    // Each element on the stack has read its start tag and text and waits for a child or its end
    // tag; an explicit stack, since the depth of the input is the input's choice. The children
    // of the open elements wait in one list and go into their parent's list, sized exactly, when
    // its end tag is read (or when the input turns out malformed: what was built stays).
    struct TOpen {
        TVnXMLElement* Element;
        size_t FirstChild; // in children
    };
    TVnXMLScanner scanner(text);
    std::vector<TOpen> open{{this, 0}};
    std::vector<TVnXMLElement*> children;
    auto close = [&open, &children] {
        const TOpen& top = open.back();
        top.Element->FChildren.Append(children.data() + top.FirstChild,
                                      children.size() - top.FirstChild);
        children.resize(top.FirstChild);
        open.pop_back();
    };
    try {
        scanner.ParseHead(*this);
        while (!open.empty()) {
            TVnXMLElement* element = open.back().Element;
            if (!scanner.AtEndTag()) {
                children.push_back(nullptr);
                TVnXMLElement* child = new TVnXMLElement;
                child->FParent = element;
                children.back() = child;
                open.push_back({child, children.size()});
                scanner.ParseHead(*child);
                continue;
            }
            element->IsContainer =
                element->ChildCount() > 0 || children.size() > open.back().FirstChild;
            scanner.Scan(">", true); // the end tag, whatever name it carries
            close();
            if (!open.empty())
                scanner.Scan("<", false); // text between children is dropped
        }
    } catch (...) {
        while (!open.empty())
            close();
        throw;
    }
}

namespace {

size_t EscapedSize(std::string_view text);
void AppendEscaped(std::string& out, std::string_view text);

size_t Indentation(int level) {
    return level > 0 ? 2 * static_cast<size_t>(level) : 0;
}

// The bytes of the element's start tag and its text, and of its end tag.
size_t StartTagSize(const TVnXMLElement& element, int level) {
    size_t size = Indentation(level) + 2 + element.Name.size();
    for (const std::string& attribute : element.Attributes.Entries())
        size += attribute.size() + (attribute.find('=') == std::string::npos ? 4 : 3);
    return size + (element.IsContainer ? 2 : EscapedSize(element.Text.View()));
}

size_t EndTagSize(const TVnXMLElement& element, int level) {
    return (element.IsContainer ? Indentation(level) : 0) + 5 + element.Name.size() +
           (element.BlankLineAfter ? 2 : 0);
}

void AppendStartTag(std::string& out, const TVnXMLElement& element, int level) {
    AppendIndentation(out, level);
    out += '<';
    out += element.Name.View();
    for (const std::string& attribute : element.Attributes.Entries()) {
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
        AppendEscaped(out, element.Text.View());
}

void AppendEndTag(std::string& out, const TVnXMLElement& element, int level) {
    if (element.IsContainer)
        AppendIndentation(out, level);
    out += "</";
    out += element.Name.View();
    out += ">\r\n";
    if (element.BlankLineAfter)
        out += "\r\n";
}

// Walks the subtree in document order without recursion: start(element, level) before its
// children, end(element, level) after them.
template <class TStart, class TEnd>
void WalkTree(const TVnXMLElement& root, int level, TStart start, TEnd end) {
    struct TFrame {
        const TVnXMLElement* Element;
        int Level;
        int NextChild;
    };
    std::vector<TFrame> open{{&root, level, 0}};
    start(root, level);
    while (!open.empty()) {
        TFrame& frame = open.back();
        if (frame.NextChild < frame.Element->ChildCount()) {
            const TVnXMLElement* child = frame.Element->Children()[frame.NextChild++];
            const int childLevel = frame.Level + 1;
            start(*child, childLevel);
            open.push_back({child, childLevel, 0}); // frame is not used after this
        } else {
            end(*frame.Element, frame.Level);
            open.pop_back();
        }
    }
}

} // namespace

std::string TVnXMLElement::WriteText(int level) const {
    // Sized first, so that the text is built in one buffer of its final size.
    size_t size = 0;
    WalkTree(
        *this, level, [&size](const TVnXMLElement& e, int l) { size += StartTagSize(e, l); },
        [&size](const TVnXMLElement& e, int l) { size += EndTagSize(e, l); });
    std::string out;
    out.reserve(size);
    WalkTree(
        *this, level, [&out](const TVnXMLElement& e, int l) { AppendStartTag(out, e, l); },
        [&out](const TVnXMLElement& e, int l) { AppendEndTag(out, e, l); });
    return out;
}

void TVnXMLElement::WriteToStream(TVnStream& stream, int level) const {
    std::string piece;
    piece.reserve(2 * WritePieceSize);
    const auto flushFull = [&piece, &stream] {
        if (piece.size() >= WritePieceSize) {
            stream.WriteBuffer(piece.data(), piece.size());
            piece.clear();
        }
    };
    WalkTree(
        *this, level,
        [&](const TVnXMLElement& e, int l) {
            AppendStartTag(piece, e, l);
            flushFull();
        },
        [&](const TVnXMLElement& e, int l) {
            AppendEndTag(piece, e, l);
            flushFull();
        });
    stream.WriteBuffer(piece.data(), piece.size());
}

void TVnXMLElement::SaveToStream(TVnStream& stream) const {
    WriteToStream(stream, -1);
}

void TVnXMLElement::SaveToFile(const std::string& fileName) const {
    WriteFileAtomic(fileName, [this](TVnStream& stream) { WriteToStream(stream, -1); });
}

// ---- Escaping -----------------------------------------------------------------------------

namespace {

// The table entry of the character; EntityTable.size() when it is not escaped.
size_t EntityEntry(char c) {
    const unsigned char code = static_cast<unsigned char>(c);
    size_t entry = 0;
    // Descending table: most characters are decided by the first comparison.
    while (entry < EntityTable.size() && static_cast<unsigned char>(EntityTable[entry]) > code)
        entry += EntityEntrySize;
    return entry < EntityTable.size() && EntityTable[entry] == c ? entry : EntityTable.size();
}

size_t EntityNameLength(size_t entry) {
    return static_cast<size_t>(EntityTable[entry + 1] - '0');
}

size_t EscapedSize(std::string_view text) {
    size_t size = text.size();
    for (char c : text) {
        const size_t entry = EntityEntry(c);
        if (entry < EntityTable.size())
            size += EntityNameLength(entry) + 1; // "&" name ";" instead of the character
    }
    return size;
}

void AppendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        const size_t entry = EntityEntry(c);
        if (entry < EntityTable.size()) {
            out += '&';
            out.append(EntityTable, entry + 2, EntityNameLength(entry));
            out += ';';
        } else {
            out += c;
        }
    }
}

void AppendUnescaped(std::string& out, std::string_view text) {
    size_t pos = 0;
    while (true) {
        const size_t amp = text.find('&', pos);
        out.append(text.substr(pos, amp == std::string_view::npos ? amp : amp - pos));
        if (amp == std::string_view::npos)
            break;
        const size_t semicolon = text.find(';', amp + 1);
        if (semicolon == std::string_view::npos) {
            out.append(text.substr(amp));
            break;
        }
        const std::string_view name = text.substr(amp + 1, semicolon - amp - 1);
        size_t found = std::string::npos;
        if (name.size() < EntityTable.size()) // a longer key cannot occur in the table
            found = EntityTable.find(static_cast<char>('0' + name.size()) +
                                     AsciiLowerCase(std::string(name)));
        if (found != std::string::npos && found > 0) {
            out += EntityTable[found - 1];
        } else {
            out += '&';
            out.append(name);
            out += ';';
        }
        pos = semicolon + 1;
    }
}

// The text unescaped: the text itself when it holds no "&", else built in the buffer.
std::string_view UnescapedOrView(std::string_view text, std::string& buffer) {
    if (text.find('&') == std::string_view::npos)
        return text;
    buffer.clear();
    AppendUnescaped(buffer, text);
    return buffer;
}

} // namespace

std::string XMLEscape(const std::string& text) {
    std::string out;
    out.reserve(EscapedSize(text));
    AppendEscaped(out, text);
    return out;
}

std::string XMLUnescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    AppendUnescaped(out, text);
    return out;
}

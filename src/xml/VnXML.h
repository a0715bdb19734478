// The element tree: the in-memory form of the language file and of every configuration database,
// with its parser and writer. Text is 8-bit bytes; nothing is converted on reading or writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "VnSysUtils.h"
#include "VnXMLFields.h"

class TVnXMLElement;

// The ordered children of an element, owned by it: one block used as a gap buffer, so that a run
// of removals or insertions that moves steadily through the list (a walk that deletes rows as it
// goes) costs constant time per step, while access by index stays constant time. The block comes
// from the general heap, not from the tree's pool of fixed sizes: lists outgrow their blocks
// (an upgrade step adds columns to every row), and the heap reuses outgrown blocks for any size.
class TVnXMLElementList {
public:
    class Iterator {
    public:
        Iterator(const TVnXMLElementList* list, int index) : FList(list), FIndex(index) {}
        TVnXMLElement* operator*() const { return (*FList)[FIndex]; }
        Iterator& operator++() {
            ++FIndex;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return FIndex != other.FIndex; }

    private:
        const TVnXMLElementList* FList;
        int FIndex;
    };

    TVnXMLElementList() = default;
    TVnXMLElementList(const TVnXMLElementList&) = delete;
    TVnXMLElementList& operator=(const TVnXMLElementList&) = delete;
    ~TVnXMLElementList() { Resize(0); }

    int Count() const { return FBlock ? static_cast<int>(FBlock->Capacity - GapSize()) : 0; }
    // Unchecked: 0 <= index < Count().
    TVnXMLElement* operator[](int index) const { return FBlock->Items()[Physical(index)]; }
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, Count()); }

private:
    friend class TVnXMLElement;
    // The slots [GapBegin, GapEnd) are the gap and hold nothing.
    struct alignas(TVnXMLElement*) TBlock {
        uint32_t Capacity, GapBegin, GapEnd;
        TVnXMLElement** Items() { return reinterpret_cast<TVnXMLElement**>(this + 1); }
    };

    static size_t BlockBytes(size_t capacity);
    size_t GapSize() const { return FBlock->GapEnd - FBlock->GapBegin; }
    size_t Physical(int index) const {
        size_t i = static_cast<size_t>(index);
        return i < FBlock->GapBegin ? i : i + GapSize();
    }
    void MoveGap(size_t index);
    // A block of that capacity holding the items in order, the gap at the end.
    void Resize(size_t capacity);
    void Add(TVnXMLElement* item);
    // Appends the items, making room for exactly them.
    void Append(TVnXMLElement* const* items, size_t count);
    // Removes the item from the list; false when it is not there.
    bool Extract(const TVnXMLElement* item);
    // Empties the list; the items in order.
    std::vector<TVnXMLElement*> TakeAll();

    TBlock* FBlock = nullptr; // nullptr: no children
};

class TVnXMLElement {
public:
    TVnXMLAttributes Attributes; // entries "name=value", in order, duplicates allowed
    TVnXMLText Text;             // character content, unescaped
    TVnXMLName Name;             // the tag; may be empty
    bool IsContainer = false;    // start and end tag on lines of their own, no Text
    bool BlankLineAfter = false; // an empty line after the end tag

    // Elements live in the memory of element trees, also roots made with new.
    static void* operator new(size_t size);
    static void operator delete(void* block, size_t size);

    // A new root element: empty, no parent. Children are made with AddChild.
    TVnXMLElement() = default;
    // Unlinks the element from its parent and destroys its whole subtree.
    ~TVnXMLElement();
    TVnXMLElement(const TVnXMLElement&) = delete;
    TVnXMLElement& operator=(const TVnXMLElement&) = delete;

    // delete with unlink from the parent; for elements made by AddChild (or by new).
    void Destroy() { delete this; }

    const TVnXMLElementList& Children() const { return FChildren; }
    TVnXMLElement* Parent() const { return FParent; }

    // Destroys all children, last child first; everything else stays.
    void Clear();
    int ChildCount() const { return FChildren.Count(); }
    // EListError "List index out of bounds (%d)" outside 0 .. ChildCount()-1.
    TVnXMLElement* Child(int index) const;
    // A new empty element appended as the last child.
    TVnXMLElement* AddChild();
    // Moves the element to the end of another parent's children. With none, the element becomes
    // a root and the caller owns it (Destroy or delete it); a root given a parent passes into the
    // parent's ownership.
    void SetParent(TVnXMLElement* parent);

    // The first child whose Name equals name byte for byte; element is written only when found.
    bool FindChild(const std::string& name, TVnXMLElement*& element) const;
    // The first child with an attribute entry equal to attrName=value without regard to case
    // (the locale's comparison); element is written only when found.
    bool FindChildByAttr(const std::string& attrName, const std::string& value,
                         TVnXMLElement*& element) const;
    // The value of the first attribute whose name equals attrName without regard to case; empty
    // when there is none.
    std::string AttrValue(const std::string& attrName) const;

    // Parses text into this element: replaces Name and Text, appends to Attributes and Children.
    // Malformed input raises EVnException "Incorrect XML data" and leaves what was built so far.
    void Parse(const std::string& text);
    // The element and its subtree as text, indented 2 * level spaces (none for level <= 0).
    std::string WriteText(int level) const;
    // WriteText(level) in checked writes of about WritePieceSize bytes each, so that the whole
    // text is never in memory at once.
    void WriteToStream(TVnStream& stream, int level) const;
    static constexpr size_t WritePieceSize = 64 * 1024;
    // WriteToStream(stream, -1).
    void SaveToStream(TVnStream& stream) const;
    // WriteToStream(-1) into the file, safely: the text goes to a temporary file beside it, which
    // is flushed and then moved over the old file. On failure the old file stays as it was.
    void SaveToFile(const std::string& fileName) const;

private:
    TVnXMLElementList FChildren;
    TVnXMLElement* FParent = nullptr;
};

// The entity escaping of element text: the five characters > < ' & " as &gt; &lt; &apos; &amp;
// &quot;. Unescaping is a single pass that knows the same five names in any letter case and
// copies every other entity unchanged.
std::string XMLEscape(const std::string& text);
std::string XMLUnescape(const std::string& text);

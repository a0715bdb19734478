// The field types of an element, each behaving as the standard text or list of texts it stands
// for, but compact: a name is shared between all elements of that name, a text is one block of
// the tree's memory, and an attribute list is shared between all elements with the same entries
// until one of them changes its own. Single-threaded, like the element tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Comparison and concatenation of a text field with any text, from the field's View().
template <class T> class TVnXMLTextOps {
public:
    bool empty() const { return Self().View().empty(); }
    size_t size() const { return Self().View().size(); }

    friend bool operator==(const T& a, const T& b) { return a.View() == b.View(); }
    friend bool operator!=(const T& a, const T& b) { return a.View() != b.View(); }
    friend bool operator==(const T& a, std::string_view b) { return a.View() == b; }
    friend bool operator!=(const T& a, std::string_view b) { return a.View() != b; }
    friend bool operator==(std::string_view a, const T& b) { return a == b.View(); }
    friend bool operator!=(std::string_view a, const T& b) { return a != b.View(); }
    friend std::string operator+(const T& a, std::string_view b) {
        std::string text(a.View());
        return text.append(b);
    }
    friend std::string operator+(std::string_view a, const T& b) {
        std::string text(a);
        return text.append(b.View());
    }
    friend std::ostream& operator<<(std::ostream& out, const T& text) { return out << text.View(); }

private:
    const T& Self() const { return static_cast<const T&>(*this); }
};

// A tag: one shared copy of each distinct name, released with its last user.
class TVnXMLName : public TVnXMLTextOps<TVnXMLName> {
public:
    TVnXMLName() = default;
    TVnXMLName(const TVnXMLName& other);
    TVnXMLName& operator=(const TVnXMLName& other);
    TVnXMLName& operator=(std::string_view name);
    ~TVnXMLName();

    const std::string& str() const;
    operator const std::string&() const { return str(); }
    std::string_view View() const { return str(); }
    const char* c_str() const { return str().c_str(); }

private:
    static uint32_t Share(std::string_view name);
    static void Unshare(uint32_t index);
    uint32_t FIndex = 0; // in the table of shared names; 0: the empty name
};

// Character content: a few bytes in the field itself, longer texts in one block holding the
// length, the bytes and a terminating NUL.
class TVnXMLText : public TVnXMLTextOps<TVnXMLText> {
public:
    TVnXMLText() = default;
    TVnXMLText(const TVnXMLText& other) { Assign(other.View()); }
    TVnXMLText& operator=(const TVnXMLText& other) { return *this = other.View(); }
    TVnXMLText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    ~TVnXMLText() { Release(); }

    std::string_view View() const;
    operator std::string() const { return std::string(View()); }
    const char* c_str() const { return View().data(); }

private:
    // FBytes[0] odd: the text is inline, (FBytes[0] >> 1) bytes from FBytes[1], then a NUL;
    // otherwise FBytes holds the block's address, null for the empty text.
    static constexpr size_t InlineLength = sizeof(char*) - 2;
    char* Block() const;
    void Assign(std::string_view text);
    void Release();
    alignas(char*) unsigned char FBytes[sizeof(char*)] = {};
};

// The ordered attribute entries "name=value", shared between all elements with the same entries.
// A change makes the element share the list of its new entries; a non-const iteration, which
// may change entries in place, first gives the element a list of its own.
class TVnXMLAttributes {
public:
    using TEntries = std::vector<std::string>;
    using value_type = std::string;
    using size_type = size_t;
    using reference = std::string&;
    using const_reference = const std::string&;
    using iterator = TEntries::iterator;
    using const_iterator = TEntries::const_iterator;

    TVnXMLAttributes() = default;
    TVnXMLAttributes(const TVnXMLAttributes& other);
    TVnXMLAttributes& operator=(const TVnXMLAttributes& other);
    TVnXMLAttributes& operator=(std::initializer_list<std::string> entries);
    TVnXMLAttributes& operator=(const TEntries& entries);
    ~TVnXMLAttributes();

    const TEntries& Entries() const;
    operator const TEntries&() const { return Entries(); }
    bool empty() const { return Entries().empty(); }
    size_t size() const { return Entries().size(); }
    const std::string& operator[](size_t index) const { return Entries()[index]; }
    const_iterator begin() const { return Entries().begin(); }
    const_iterator end() const { return Entries().end(); }
    iterator begin() { return Own().begin(); }
    iterator end() { return Own().end(); }

    void push_back(const std::string& entry);
    void pop_back();
    void clear() { Release(); }
    void assign(size_t count, const std::string& entry) { Assign(TEntries(count, entry)); }
    // Replaces the entries by the shared list of those entries.
    void Assign(const TEntries& entries);

    friend bool operator==(const TVnXMLAttributes& a, const TVnXMLAttributes& b) {
        return a.Entries() == b.Entries();
    }
    friend bool operator!=(const TVnXMLAttributes& a, const TVnXMLAttributes& b) {
        return !(a == b);
    }
    friend bool operator==(const TVnXMLAttributes& a, const TEntries& b) {
        return a.Entries() == b;
    }
    friend bool operator==(const TEntries& a, const TVnXMLAttributes& b) {
        return a == b.Entries();
    }
    friend bool operator!=(const TVnXMLAttributes& a, const TEntries& b) { return !(a == b); }
    friend bool operator!=(const TEntries& a, const TVnXMLAttributes& b) { return !(a == b); }

private:
    struct TList;
    static TList* Share(const TEntries& entries);
    TEntries& Own();
    void Release();
    TList* FList = nullptr; // nullptr: no entries
};

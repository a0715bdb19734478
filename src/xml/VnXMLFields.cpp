#include "VnXMLFields.h"

#include <cstring>
#include <unordered_map>

#include "VnXMLPool.h"

namespace {

// Tables of shared values by key; never destroyed, so that values outliving main stay valid.
template <class T> std::unordered_map<std::string, T*>& SharedTable() {
    static auto* table = new std::unordered_map<std::string, T*>;
    return *table;
}

} // namespace

// ---- TVnXMLName -----------------------------------------------------------------------------

namespace {

struct TNameEntry {
    const std::string* Name; // the key in the table
    size_t Users;
};

// The shared names by index, 0 standing for the empty name; never destroyed.
struct TNameTable {
    std::unordered_map<std::string, uint32_t> Indexes;
    std::vector<TNameEntry> Entries{{nullptr, 0}};
    std::vector<uint32_t> Unused;
};

TNameTable& Names() {
    static auto* table = new TNameTable;
    return *table;
}

} // namespace

uint32_t TVnXMLName::Share(std::string_view name) {
    if (name.empty())
        return 0;
    TNameTable& table = Names();
    auto found = table.Indexes.try_emplace(std::string(name), 0).first;
    if (found->second == 0) {
        if (table.Unused.empty()) {
            found->second = static_cast<uint32_t>(table.Entries.size());
            table.Entries.push_back({&found->first, 0});
        } else {
            found->second = table.Unused.back();
            table.Unused.pop_back();
            table.Entries[found->second] = {&found->first, 0};
        }
    }
    ++table.Entries[found->second].Users;
    return found->second;
}

void TVnXMLName::Unshare(uint32_t index) {
    if (index == 0)
        return;
    TNameTable& table = Names();
    TNameEntry& entry = table.Entries[index];
    if (--entry.Users > 0)
        return;
    const std::string name = *entry.Name;
    entry = {nullptr, 0};
    table.Indexes.erase(name);
    table.Unused.push_back(index);
}

TVnXMLName::TVnXMLName(const TVnXMLName& other) : FIndex(other.FIndex) {
    if (FIndex)
        ++Names().Entries[FIndex].Users;
}

TVnXMLName& TVnXMLName::operator=(const TVnXMLName& other) {
    if (other.FIndex)
        ++Names().Entries[other.FIndex].Users;
    Unshare(FIndex);
    FIndex = other.FIndex;
    return *this;
}

TVnXMLName& TVnXMLName::operator=(std::string_view name) {
    const uint32_t index = Share(name); // before the old one goes: name may lie in it
    Unshare(FIndex);
    FIndex = index;
    return *this;
}

TVnXMLName::~TVnXMLName() {
    Unshare(FIndex);
}

const std::string& TVnXMLName::str() const {
    static const std::string* const empty = new std::string;
    return FIndex ? *Names().Entries[FIndex].Name : *empty;
}

// ---- TVnXMLText -----------------------------------------------------------------------------

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "TVnXMLText tells inline texts from block addresses by the lowest byte of the address"
#endif

namespace {

size_t BlockSize(uint32_t length) {
    return sizeof(uint32_t) + length + 1;
}

uint32_t BlockLength(const char* block) {
    uint32_t length;
    std::memcpy(&length, block, sizeof(length));
    return length;
}

} // namespace

char* TVnXMLText::Block() const {
    char* block = nullptr;
    if ((FBytes[0] & 1) == 0)
        std::memcpy(&block, FBytes, sizeof(block));
    return block;
}

std::string_view TVnXMLText::View() const {
    if (FBytes[0] & 1)
        return std::string_view(reinterpret_cast<const char*>(FBytes + 1), FBytes[0] >> 1);
    const char* block = Block();
    if (!block)
        return std::string_view("", 0);
    return std::string_view(block + sizeof(uint32_t), BlockLength(block));
}

void TVnXMLText::Assign(std::string_view text) {
    // Built aside first: text may lie in this field or its block.
    unsigned char bytes[sizeof(FBytes)] = {};
    if (text.size() <= InlineLength) {
        bytes[0] = static_cast<unsigned char>(text.size() << 1 | 1);
        std::memcpy(bytes + 1, text.data(), text.size());
    } else {
        const uint32_t length = static_cast<uint32_t>(text.size());
        char* block = static_cast<char*>(VnXMLPool::Allocate(BlockSize(length)));
        std::memcpy(block, &length, sizeof(length));
        std::memcpy(block + sizeof(length), text.data(), length);
        block[sizeof(length) + length] = '\0';
        std::memcpy(bytes, &block, sizeof(block));
    }
    Release();
    std::memcpy(FBytes, bytes, sizeof(FBytes));
}

void TVnXMLText::Release() {
    if (char* block = Block())
        VnXMLPool::Free(block, BlockSize(BlockLength(block)));
    std::memset(FBytes, 0, sizeof(FBytes));
}

// ---- TVnXMLAttributes -----------------------------------------------------------------------

struct TVnXMLAttributes::TList {
    TEntries Entries;
    size_t Users;
    const std::string* Key; // in the table of shared lists; nullptr: an element's own list
};

namespace {

// Each entry with its length in front, so that no two lists share a key.
std::string KeyOf(const std::vector<std::string>& entries) {
    std::string key;
    for (const std::string& entry : entries) {
        const uint32_t length = static_cast<uint32_t>(entry.size());
        key.append(reinterpret_cast<const char*>(&length), sizeof(length));
        key += entry;
    }
    return key;
}

} // namespace

TVnXMLAttributes::TList* TVnXMLAttributes::Share(const TEntries& entries) {
    if (entries.empty())
        return nullptr;
    auto& table = SharedTable<TList>();
    auto found = table.try_emplace(KeyOf(entries), nullptr).first;
    if (!found->second)
        found->second = new TList{entries, 0, &found->first};
    ++found->second->Users;
    return found->second;
}

TVnXMLAttributes::TVnXMLAttributes(const TVnXMLAttributes& other) {
    *this = other;
}

TVnXMLAttributes& TVnXMLAttributes::operator=(const TVnXMLAttributes& other) {
    if (this != &other)
        Assign(other.Entries());
    return *this;
}

TVnXMLAttributes& TVnXMLAttributes::operator=(std::initializer_list<std::string> entries) {
    Assign(TEntries(entries));
    return *this;
}

TVnXMLAttributes& TVnXMLAttributes::operator=(const TEntries& entries) {
    Assign(entries);
    return *this;
}

TVnXMLAttributes::~TVnXMLAttributes() {
    Release();
}

const TVnXMLAttributes::TEntries& TVnXMLAttributes::Entries() const {
    static const TEntries* const none = new TEntries;
    return FList ? FList->Entries : *none;
}

void TVnXMLAttributes::Assign(const TEntries& entries) {
    TList* list = Share(entries); // before the old one goes: entries may be its own
    Release();
    FList = list;
}

void TVnXMLAttributes::push_back(const std::string& entry) {
    TEntries entries = Entries();
    entries.push_back(entry);
    Assign(entries);
}

void TVnXMLAttributes::pop_back() {
    TEntries entries = Entries();
    entries.pop_back();
    Assign(entries);
}

TVnXMLAttributes::TEntries& TVnXMLAttributes::Own() {
    if (!FList) {
        FList = new TList{TEntries(), 1, nullptr};
    } else if (FList->Key) {
        TList* own = new TList{FList->Entries, 1, nullptr};
        Release();
        FList = own;
    }
    return FList->Entries;
}

void TVnXMLAttributes::Release() {
    TList* list = FList;
    FList = nullptr;
    if (!list || --list->Users > 0)
        return;
    if (list->Key) {
        const std::string key = *list->Key;
        SharedTable<TList>().erase(key);
    }
    delete list;
}

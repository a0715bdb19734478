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

struct TVnXMLName::TEntry {
    const std::string* Name; // the key in the table
    size_t Users;
};

TVnXMLName::TEntry* TVnXMLName::Share(std::string_view name) {
    if (name.empty())
        return nullptr;
    auto& table = SharedTable<TEntry>();
    auto found = table.try_emplace(std::string(name), nullptr).first;
    if (!found->second)
        found->second = new TEntry{&found->first, 0};
    ++found->second->Users;
    return found->second;
}

void TVnXMLName::Unshare(TEntry* entry) {
    if (!entry || --entry->Users > 0)
        return;
    const std::string name = *entry->Name;
    delete entry;
    SharedTable<TEntry>().erase(name);
}

TVnXMLName::TVnXMLName(const TVnXMLName& other) : FEntry(other.FEntry) {
    if (FEntry)
        ++FEntry->Users;
}

TVnXMLName& TVnXMLName::operator=(const TVnXMLName& other) {
    if (other.FEntry)
        ++other.FEntry->Users;
    Unshare(FEntry);
    FEntry = other.FEntry;
    return *this;
}

TVnXMLName& TVnXMLName::operator=(std::string_view name) {
    TEntry* entry = Share(name); // before the old one goes: name may lie in it
    Unshare(FEntry);
    FEntry = entry;
    return *this;
}

TVnXMLName::~TVnXMLName() {
    Unshare(FEntry);
}

const std::string& TVnXMLName::str() const {
    static const std::string* const empty = new std::string;
    return FEntry ? *FEntry->Name : *empty;
}

// ---- TVnXMLText -----------------------------------------------------------------------------

namespace {

size_t BlockSize(uint32_t length) {
    return sizeof(uint32_t) + length + 1;
}

} // namespace

uint32_t TVnXMLText::Length() const {
    uint32_t length;
    std::memcpy(&length, FBlock, sizeof(length));
    return length;
}

void TVnXMLText::Assign(std::string_view text) {
    char* block = nullptr;
    if (!text.empty()) {
        const uint32_t length = static_cast<uint32_t>(text.size());
        block = static_cast<char*>(VnXMLPool::Allocate(BlockSize(length)));
        std::memcpy(block, &length, sizeof(length));
        std::memcpy(block + sizeof(length), text.data(), length);
        block[sizeof(length) + length] = '\0';
    }
    // The old block goes last: text may lie in it.
    if (FBlock)
        VnXMLPool::Free(FBlock, BlockSize(Length()));
    FBlock = block;
}

TVnXMLText::~TVnXMLText() {
    if (FBlock)
        VnXMLPool::Free(FBlock, BlockSize(Length()));
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

// The first generation's object stream and the streaming writer of the older database form.
//
// An object is a length prefix and a sequence of tagged fields; the kind of each field is known
// only to the class that reads it. TVnObject is the base of every legacy configuration class:
// Create reads an object's bounds, Load (per class) reads its fields by tag. Everything read in
// one run is owned by one TVnOwnerList and freed together.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "VnSysUtils.h"

// A one-byte Boolean kept as its byte: non-zero is true, and the byte is written back as it is.
using TVnBool = uint8_t;
// A password in plain text, once unscrambled by the reader.
using TVnPassword = std::string;

// Anything the owner list holds.
class TVnOwned {
public:
    virtual ~TVnOwned() = default;
};

// Every object and string list created while reading one legacy stream, in creation order
// (depth first); they are freed front to back.
class TVnOwnerList {
public:
    TVnOwnerList() = default;
    ~TVnOwnerList() { Clear(); }
    TVnOwnerList(const TVnOwnerList&) = delete;
    TVnOwnerList& operator=(const TVnOwnerList&) = delete;

    template <class T> T& Add(std::unique_ptr<T> item) {
        T& result = *item;
        FItems.push_back(std::move(item));
        return result;
    }
    void Clear();
    size_t Count() const { return FItems.size(); }

private:
    std::vector<std::unique_ptr<TVnOwned>> FItems;
};

// A string list field.
class TVnStringList : public TVnOwned {
public:
    std::vector<std::string> Items;
};

// Raised when a length prefix or a field runs past the end of the stream or of the object that
// encloses it. The conversion turns it into the "corrupted" message naming its file.
class EVnStreamCorrupt : public EVnException {
public:
    EVnStreamCorrupt() : EVnException("Object stream corrupted") {}
};

class TVnObject : public TVnOwned {
public:
    // Registers a new T in the owner list, reads its length prefix at the stream's position and
    // loads its fields. The object must end at or before `limit`.
    template <class T> static T& Create(TVnOwnerList& owner, TVnStream& stream, int64_t limit) {
        T& object = owner.Add(std::make_unique<T>());
        static_cast<TVnObject&>(object).Open(owner, stream, limit);
        return object;
    }

    TVnOwnerList* Owner = nullptr; // absent for an object made empty, not read
    TVnStream* Stream = nullptr;
    TVnObject* Next = nullptr; // next object of the same collection
    int64_t StartPos = 0;      // first byte of the content
    int64_t EndPos = 0;        // first byte after the content

protected:
    virtual void Load() = 0;

    // Reads one length prefix inside this object.
    int32_t ReadLength();
    // Positions the stream at the length prefix of the first field with this tag.
    bool FindTag(uint8_t tag);

    // Each Read... leaves its destination as it was when the tag is absent.
    void ReadValue(uint8_t tag, int32_t& dest);
    void ReadValue(uint8_t tag, TVnBool& dest);
    void ReadStringField(uint8_t tag, std::string& dest);
    void ReadPassword(uint8_t tag, TVnPassword& dest);
    void ReadStrings(uint8_t tag, TVnStringList*& dest);
    template <class T> void ReadObject(uint8_t tag, T*& dest) {
        if (FindTag(tag))
            dest = &Create<T>(*Owner, *Stream, EndPos);
    }
    // The destination receives the first object of the chain; it is absent for an empty one.
    template <class T> void ReadCollection(uint8_t tag, T*& dest) {
        if (!FindTag(tag))
            return;
        const int32_t length = ReadLength();
        const int64_t end = Stream->Position() + length;
        T* first = nullptr;
        TVnObject* last = nullptr;
        while (Stream->Position() < end) {
            T& object = Create<T>(*Owner, *Stream, end);
            if (last)
                last->Next = &object;
            else
                first = &object;
            last = &object;
            Stream->SetPosition(object.EndPos);
        }
        dest = first;
    }

private:
    void Open(TVnOwnerList& owner, TVnStream& stream, int64_t limit);
    // The payload of the field found last, checked to lie inside this object.
    std::string ReadPayload();
};

// Iterates a chain of objects of one class: for (const TVnUser& user : Chain(UserMgr->Users)).
template <class T> class TVnChain {
public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        explicit Iterator(const T* object) : FObject(object) {}
        const T& operator*() const { return *FObject; }
        const T* operator->() const { return FObject; }
        Iterator& operator++() {
            FObject = static_cast<const T*>(FObject->Next);
            return *this;
        }
        bool operator==(const Iterator& other) const { return FObject == other.FObject; }
        bool operator!=(const Iterator& other) const { return FObject != other.FObject; }

    private:
        const T* FObject;
    };

    explicit TVnChain(const T* first) : FFirst(first) {}
    Iterator begin() const { return Iterator(FFirst); }
    Iterator end() const { return Iterator(nullptr); }
    size_t Count() const { return static_cast<size_t>(std::distance(begin(), end())); }

private:
    const T* FFirst;
};

template <class T> TVnChain<T> Chain(const T* first) {
    return TVnChain<T>(first);
}

// Writes a configuration database in the older form: a root "<vnt-db>" without a version, and
// only "&" and "<" escaped, as "&amp" and "&lt" without semicolons. The lines go, buffered, into a
// temporary file beside the target, which takes the target's name only through Commit, so that a
// failed conversion leaves no partial database behind. Every write is checked; a failure raises
// the platform's input/output error. The caller keeps the calls well formed.
class TVnWriter {
public:
    explicit TVnWriter(std::string fileName); // creates the temporary file, writes "<vnt-db>"
    ~TVnWriter();                             // removes the temporary file unless committed
    TVnWriter(const TVnWriter&) = delete;
    TVnWriter& operator=(const TVnWriter&) = delete;

    void BeginTable(const std::string& name);
    void EndTable();
    void BeginRow();
    void EndRow();
    void WriteBool(const std::string& column, TVnBool value);
    void WriteInt(const std::string& column, int32_t value);
    void WriteStr(const std::string& column, const std::string& text);

    // Writes "</vnt-db>", flushes the file to disk and closes it.
    void Close();
    // Moves the closed file over the target's name.
    void Commit();
    const std::string& TempName() const { return FTempName; }

private:
    void Put(const std::string& text);
    void WriteCol(const std::string& column, const std::string& value);
    void FlushBuffer();

    std::string FFileName;
    std::string FTempName; // empty once committed
    std::unique_ptr<TVnFileStream> FFile;
    std::string FBuffer;
};

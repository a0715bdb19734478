#include "VnCfgConv1_Utils.h"

void TVnOwnerList::Clear() {
    for (std::unique_ptr<TVnOwned>& item : FItems)
        item.reset();
    FItems.clear();
}

// ---- TVnObject ----------------------------------------------------------------------------

namespace {

uint8_t ReadByte(TVnStream& stream) {
    uint8_t b = 0;
    stream.ReadBuffer(&b, 1);
    return b;
}

// One length prefix: a byte 0..254, or 255 and a signed 32-bit little-endian value. The prefix
// and the bytes it counts must end at or before `limit`.
int32_t ReadLengthWithin(TVnStream& stream, int64_t limit) {
    int64_t position = stream.Position();
    if (position >= limit)
        throw EVnStreamCorrupt();
    int64_t length = ReadByte(stream);
    ++position;
    if (length == 255) {
        if (limit - position < 4)
            throw EVnStreamCorrupt();
        uint8_t bytes[4];
        stream.ReadBuffer(bytes, 4);
        length = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                      static_cast<uint32_t>(bytes[3]) << 24);
        position += 4;
    }
    if (length < 0 || length > limit - position)
        throw EVnStreamCorrupt();
    return static_cast<int32_t>(length);
}

// Position i (from 1) of a scrambled string holds ((plain + i) mod 256) XOR (i mod 256); the
// plain text is a 16-bit little-endian length and that many characters.
TVnPassword Unscramble(std::string s) {
    for (size_t i = 1; i <= s.size(); ++i) {
        const uint8_t b = static_cast<uint8_t>(s[i - 1]);
        s[i - 1] = static_cast<char>((b ^ static_cast<uint8_t>(i)) - static_cast<uint8_t>(i));
    }
    if (s.size() < 2)
        return TVnPassword();
    const size_t length = static_cast<uint8_t>(s[0]) | static_cast<uint8_t>(s[1]) << 8;
    return s.substr(2, length);
}

} // namespace

void TVnObject::Open(TVnOwnerList& owner, TVnStream& stream, int64_t limit) {
    Owner = &owner;
    Stream = &stream;
    const int32_t length = ReadLengthWithin(stream, limit);
    StartPos = stream.Position();
    EndPos = StartPos + length;
    // Every field must lie inside the object, so that no lookup reads beyond it.
    while (stream.Position() < EndPos) {
        stream.Seek(1, VnPlatform::SeekOrigin::Current); // the tag
        const int32_t size = ReadLength();
        stream.Seek(size, VnPlatform::SeekOrigin::Current);
    }
    Load();
}

int32_t TVnObject::ReadLength() {
    return ReadLengthWithin(*Stream, EndPos);
}

bool TVnObject::FindTag(uint8_t tag) {
    Stream->SetPosition(StartPos);
    while (Stream->Position() < EndPos) {
        if (ReadByte(*Stream) == tag)
            return true;
        const int32_t size = ReadLength();
        Stream->Seek(size, VnPlatform::SeekOrigin::Current);
    }
    return false;
}

std::string TVnObject::ReadPayload() {
    const int32_t size = ReadLength();
    return ReadStreamText(*Stream, size);
}

void TVnObject::ReadValue(uint8_t tag, int32_t& dest) {
    if (!FindTag(tag))
        return;
    // The payload fills the low-order bytes; bytes beyond the field's width are skipped.
    const std::string payload = ReadPayload();
    uint32_t value = static_cast<uint32_t>(dest);
    for (size_t i = 0; i < payload.size() && i < sizeof(value); ++i) {
        const unsigned shift = static_cast<unsigned>(8 * i);
        value = (value & ~(0xFFu << shift)) |
                static_cast<uint32_t>(static_cast<uint8_t>(payload[i])) << shift;
    }
    dest = static_cast<int32_t>(value);
}

void TVnObject::ReadValue(uint8_t tag, TVnBool& dest) {
    if (!FindTag(tag))
        return;
    const std::string payload = ReadPayload();
    if (!payload.empty())
        dest = static_cast<TVnBool>(payload[0]);
}

void TVnObject::ReadStringField(uint8_t tag, std::string& dest) {
    if (FindTag(tag))
        dest = ReadPayload();
}

void TVnObject::ReadPassword(uint8_t tag, TVnPassword& dest) {
    if (FindTag(tag))
        dest = Unscramble(ReadPayload());
}

void TVnObject::ReadStrings(uint8_t tag, TVnStringList*& dest) {
    if (!FindTag(tag))
        return;
    const int32_t total = ReadLength();
    const int64_t end = Stream->Position() + total;
    dest = &Owner->Add(std::make_unique<TVnStringList>());
    while (Stream->Position() < end) {
        const int32_t size = ReadLengthWithin(*Stream, end);
        dest->Items.push_back(ReadStreamText(*Stream, size));
    }
}

// ---- TVnWriter ----------------------------------------------------------------------------

namespace {

// "&" becomes "&amp" and "<" becomes "&lt", without semicolons; nothing else is escaped.
std::string EscapeOldForm(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c == '&')
            result += "&amp";
        else if (c == '<')
            result += "&lt";
        else
            result += c;
    }
    return result;
}

} // namespace

namespace {
constexpr size_t WriterBufferSize = 65536;
}

TVnWriter::TVnWriter(std::string fileName)
    : FFileName(std::move(fileName)), FTempName(WriteTempFileBeside(FFileName, std::string())) {
    try {
        FFile = std::make_unique<TVnFileStream>(FTempName, TVnFileStream::Mode::Create);
    } catch (...) {
        DiscardTempFile(FTempName);
        throw;
    }
    FBuffer.reserve(WriterBufferSize);
    Put("<vnt-db>\r\n");
}

TVnWriter::~TVnWriter() {
    FFile.reset();
    if (!FTempName.empty())
        DiscardTempFile(FTempName);
}

void TVnWriter::FlushBuffer() {
    FFile->WriteBuffer(FBuffer.data(), FBuffer.size());
    FBuffer.clear();
}

void TVnWriter::Put(const std::string& text) {
    FBuffer += text;
    if (FBuffer.size() >= WriterBufferSize)
        FlushBuffer();
}

void TVnWriter::BeginTable(const std::string& name) {
    Put("<table name=\"" + name + "\">\r\n");
}

void TVnWriter::EndTable() {
    Put("</table>\r\n\r\n");
}

void TVnWriter::BeginRow() {
    Put("  <row>\r\n");
}

void TVnWriter::EndRow() {
    Put("  </row>\r\n");
}

void TVnWriter::WriteCol(const std::string& column, const std::string& value) {
    FBuffer += "    <col name=\"";
    FBuffer += column;
    FBuffer += "\">";
    FBuffer += value;
    Put("</col>\r\n");
}

void TVnWriter::WriteBool(const std::string& column, TVnBool value) {
    WriteCol(column, IntToStr(value));
}

void TVnWriter::WriteInt(const std::string& column, int32_t value) {
    WriteCol(column, IntToStr(value));
}

void TVnWriter::WriteStr(const std::string& column, const std::string& text) {
    WriteCol(column, EscapeOldForm(text));
}

void TVnWriter::Close() {
    Put("</vnt-db>\r\n");
    FlushBuffer();
    FFile->Flush();
    FFile.reset();
}

void TVnWriter::Commit() {
    CommitTempFile(FTempName, FFileName);
    FTempName.clear();
}

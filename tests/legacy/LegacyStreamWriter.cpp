#include "LegacyStreamWriter.h"

namespace {

std::string LittleEndian32(uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
}

} // namespace

std::string LengthPrefix(int64_t length, bool longForm) {
    if (!longForm && length >= 0 && length < 255)
        return std::string(1, static_cast<char>(length));
    return "\xFF" + LittleEndian32(static_cast<uint32_t>(length));
}

std::string ScrambleWithLength(uint16_t length, const std::string& text) {
    std::string bytes;
    bytes += static_cast<char>(length & 0xFF);
    bytes += static_cast<char>(length >> 8);
    bytes += text;
    for (size_t i = 1; i <= bytes.size(); ++i) {
        const unsigned plain = static_cast<unsigned char>(bytes[i - 1]);
        bytes[i - 1] = static_cast<char>(((plain + i) & 0xFF) ^ (i & 0xFF));
    }
    return bytes;
}

std::string Scramble(const std::string& plain) {
    return ScrambleWithLength(static_cast<uint16_t>(plain.size()), plain);
}

bool TLegacyObject::LongByDefault = false;

TLegacyObject& TLegacyObject::LongLengths(bool on) {
    FLong = on;
    return *this;
}

TLegacyObject& TLegacyObject::Raw(uint8_t tag, const std::string& payload) {
    FContent += static_cast<char>(tag);
    FContent += LengthPrefix(static_cast<int64_t>(payload.size()), FLong);
    FContent += payload;
    return *this;
}

TLegacyObject& TLegacyObject::Append(const std::string& bytes) {
    FContent += bytes;
    return *this;
}

TLegacyObject& TLegacyObject::Int(uint8_t tag, int32_t value) {
    return Raw(tag, LittleEndian32(static_cast<uint32_t>(value)));
}

TLegacyObject& TLegacyObject::Bool(uint8_t tag, uint8_t value) {
    return Raw(tag, std::string(1, static_cast<char>(value)));
}

TLegacyObject& TLegacyObject::Str(uint8_t tag, const std::string& value) {
    return Raw(tag, value);
}

TLegacyObject& TLegacyObject::Password(uint8_t tag, const std::string& plain) {
    return Raw(tag, Scramble(plain));
}

TLegacyObject& TLegacyObject::Strings(uint8_t tag, const std::vector<std::string>& items) {
    std::string payload;
    for (const std::string& item : items)
        payload += LengthPrefix(static_cast<int64_t>(item.size()), FLong) + item;
    return Raw(tag, payload);
}

TLegacyObject& TLegacyObject::Object(uint8_t tag, const TLegacyObject& object) {
    // The field's length prefix is the nested object's own.
    FContent += static_cast<char>(tag);
    FContent += object.Bytes();
    return *this;
}

TLegacyObject& TLegacyObject::Collection(uint8_t tag, const std::vector<TLegacyObject>& objects) {
    std::string payload;
    for (const TLegacyObject& object : objects)
        payload += object.Bytes();
    return Raw(tag, payload);
}

std::string TLegacyObject::Bytes() const {
    return LengthPrefix(static_cast<int64_t>(FContent.size()), FLong) + FContent;
}

TLegacyObject TLegacyConfig::Root(uint8_t omit) const {
    TLegacyObject root;
    root.Str(ServerTag::LaunchCount, LaunchCount);
    const TLegacyObject* nested[] = {&Settings,   &Log,           &SMTPService, &POP3Service,
                                     &SMTPClient, &POP3Collector, &IPFilter,    &UserMgr,
                                     &Scheduler,  &DialUp,        &QueueMgr};
    uint8_t tag = ServerTag::Settings;
    for (const TLegacyObject* object : nested) {
        if (tag != omit)
            root.Object(tag, *object);
        ++tag;
    }
    return root;
}

std::string LegacyFile(const TLegacyObject& root, const std::string& skipped,
                       const std::string& headerRest) {
    return "VNT10/1" + headerRest + LittleEndian32(static_cast<uint32_t>(skipped.size())) +
           skipped + root.Bytes();
}

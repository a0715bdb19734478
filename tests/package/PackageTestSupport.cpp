#include "PackageTestSupport.h"

#include <cstring>
#include <stdexcept>
#include <zlib.h>

#include "VnSysUtils.h"
#include "VnTestSupport.h"

std::string ArchiveTail(const std::function<void(TVnArchiveWriter& writer)>& fill) {
    TVnStringStream stream;
    TVnArchiveWriter writer(stream);
    fill(writer);
    writer.Finish();
    return stream.DataString();
}

std::string WithLength(const std::string& body) {
    return body + LE32(uint32_t(body.size()));
}

std::string UnsignedPackage(const std::string& tail, const std::string& stub) {
    return stub + tail + std::string(128, '\0');
}

std::string LE32(uint32_t value) {
    char bytes[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    return std::string(bytes, 4);
}

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &size,
                  reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), 9) != Z_OK)
        throw std::runtime_error("compress2 failed");
    packed.resize(size);
    return packed;
}

std::string RawFile(const std::string& name, uint32_t size, const std::string& packed) {
    return std::string(1, '\0') + char(name.size()) + name + LE32(size) +
           LE32(uint32_t(packed.size())) + packed;
}

std::string RawFolder(const std::string& name) {
    return std::string(1, '\x01') + char(name.size()) + name;
}

std::string SignedPackage(const std::string& tail, const std::string& stub) {
    TVnStringStream package(stub + tail);
    package.Seek(0, VnPlatform::SeekOrigin::End);
    AppendSignature(package, TestKeySigner());
    return package.DataString();
}

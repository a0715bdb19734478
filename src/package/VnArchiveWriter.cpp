#include "VnArchiveWriter.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <zlib.h>

#include "VnDetachedCertificates.h"
#include "VnPackageFormat.h"
#include "VnPackageLayout.h"
#include "VnSysUtils.h"
#include "VnUnpack.h"

namespace {

using VnPackageFormat::MaxField;

void WriteLE32(TVnStream& output, uint64_t value) {
    if (value > MaxField)
        throw EVnException("Payload too large: sizes must stay below 2 GB");
    uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                        uint8_t(value >> 24)};
    output.WriteBuffer(bytes, sizeof bytes);
}

// topLevel: the folder's entries go to the archive's top level, where the package's own names are
// refused.
void AddTree(TVnArchiveWriter& writer, const std::filesystem::path& folder, bool topLevel) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<std::pair<std::string, bool>> entries; // name, is a folder
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (topLevel && SameTextAscii(name, VnPackageFormat::SignedUninstallerEntry))
            throw EVnException(
                Format("Cannot pack \"%s\": the package keeps that name for its signed uninstaller",
                       it->path().string().c_str()));
        if (it->is_directory(error))
            entries.emplace_back(name, true);
        else if (it->is_regular_file(error))
            entries.emplace_back(name, false);
        else
            throw EVnException(
                Format("Cannot pack \"%s\": not a file or folder", it->path().string().c_str()));
    }
    if (error)
        throw EVnException(Format("Cannot read folder \"%s\": %s", folder.string().c_str(),
                                  error.message().c_str()));
    std::sort(entries.begin(), entries.end()); // std::string orders bytes as unsigned
    for (const auto& [name, isFolder] : entries) {
        if (isFolder) {
            writer.BeginFolder(name);
            AddTree(writer, folder / name, false);
            writer.EndFolder();
        } else {
            writer.AddFile(name, ReadFileText((folder / name).string()));
        }
    }
}

// The table and header fields of signedUninstallerFile, which must be the stub's uninstaller
// signed.
std::string DetachedUninstallerTable(const std::string& signedUninstallerFile,
                                     const std::string& stub, const std::string& stubFile) {
    const std::string signedUninstaller = ReadFileText(signedUninstallerFile);
    try {
        return DetachCertificates(signedUninstaller, stub);
    } catch (const EVnException& e) {
        throw EVnException(Format("\"%s\" is not the signed uninstaller of \"%s\": %s",
                                  signedUninstallerFile.c_str(), stubFile.c_str(), e.what()));
    }
}

} // namespace

std::string UnsignedStub(const std::string& stubFile) {
    TVnFileStream stream(stubFile, TVnFileStream::Mode::OpenRead);
    const TVnPackageLayout layout(stream);
    if (layout.HasCertificateTable())
        throw EVnException(Format("\"%s\" carries an Authenticode signature: start from the "
                                  "unsigned program, and sign what is made of it",
                                  stubFile.c_str()));
    return layout.UnsignedBytes(stream, stream.Size());
}

TVnArchiveWriter::TVnArchiveWriter(TVnStream& output)
    : FOutput(output), FStart(output.Position()) {}

void TVnArchiveWriter::WriteHeader(uint8_t kind, const std::string& name) {
    const std::string path = FPrefix + name;
    if (!IsSafeEntryName(name))
        throw EVnException(
            Format("Cannot pack \"%s\": not a name that Windows stores as given", path.c_str()));
    if (!FNames.back().insert(EntryNameKey(name)).second)
        throw EVnException(Format("Cannot pack \"%s\": its folder holds another entry of that name",
                                  path.c_str()));
    if (path.size() > MaxEntryPath)
        throw EVnException(Format("Entry path too long: \"%s\"", path.c_str()));
    uint8_t head[2] = {kind, uint8_t(name.size())};
    FOutput.WriteBuffer(head, sizeof head);
    FOutput.WriteBuffer(name.data(), name.size());
}

void TVnArchiveWriter::AddFile(const std::string& name, const std::string& data) {
    uLongf packedSize = compressBound(uLong(data.size()));
    std::unique_ptr<Bytef[]> packed(new Bytef[packedSize]);
    if (data.size() > MaxField ||
        compress2(packed.get(), &packedSize, reinterpret_cast<const Bytef*>(data.data()),
                  uLong(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw EVnException(Format("Cannot compress \"%s\"", name.c_str()));
    WriteHeader(EntryFile, name);
    WriteLE32(FOutput, data.size());
    WriteLE32(FOutput, packedSize);
    FOutput.WriteBuffer(packed.get(), packedSize);
}

void TVnArchiveWriter::BeginFolder(const std::string& name) {
    WriteHeader(EntryFolder, name);
    FLevels.push_back(FPrefix.size());
    FPrefix += name;
    FPrefix += PathDelim;
    FNames.emplace_back();
}

void TVnArchiveWriter::EndFolder() {
    if (FLevels.empty())
        throw EVnException("EndFolder without a folder");
    uint8_t kind = EntryFolderEnd;
    FOutput.WriteBuffer(&kind, 1);
    FPrefix.resize(FLevels.back());
    FLevels.pop_back();
    FNames.pop_back();
}

void TVnArchiveWriter::AddFolderTree(const std::string& folder) {
    AddTree(*this, std::filesystem::path(ExpandFileName(folder)), FLevels.empty());
}

void TVnArchiveWriter::Finish() {
    if (!FLevels.empty())
        throw EVnException("Finish with an open folder");
    WriteLE32(FOutput, uint64_t(FOutput.Position() - FStart));
}

TVnSigner ExponentSigner(const TVnLongNumber& modulus, const TVnLongNumber& privateExponent) {
    return [modulus, privateExponent](const uint8_t* plaintext, uint8_t* signature) {
        TVnLongNumber m;
        LongFromBytes(m, plaintext);
        LongPowMod(m, m, privateExponent, modulus);
        LongToBytes(signature, m);
    };
}

std::array<uint8_t, LongBytes> SignaturePlaintext(const TVnDigest& digest) {
    std::array<uint8_t, LongBytes> block{};
    std::copy(digest.begin(), digest.end(), block.begin());
    block[126] = uint8_t(digest.size());
    block[127] = 0x01;
    return block;
}

void AppendSignature(TVnStream& package, const TVnSigner& sign) {
    TVnDigest digest;
    DigestStream(package, package.Size(), digest);
    uint8_t signature[LongBytes];
    sign(SignaturePlaintext(digest).data(), signature);
    package.WriteBuffer(signature, sizeof signature);
}

void WritePackage(const std::string& stubFile, const std::string& payloadFolder,
                  const std::string& outputFile, const TVnSigner& sign,
                  const std::string& signedUninstallerFile) {
    if (!VnPlatform::DirectoryExists(payloadFolder))
        throw EVnException(Format("Folder \"%s\" not found", payloadFolder.c_str()));
    const std::string stub = UnsignedStub(stubFile);
    const std::string uninstallerTable =
        signedUninstallerFile.empty()
            ? std::string()
            : DetachedUninstallerTable(signedUninstallerFile, stub, stubFile);
    // The tail is found from the end, so zeros between the stub and the body do no harm: they
    // make the package's size a multiple of 8, and a signing tool then adds no padding.
    TVnStringStream tail;
    TVnArchiveWriter writer(tail);
    writer.AddFolderTree(payloadFolder);
    if (!uninstallerTable.empty())
        writer.AddFile(VnPackageFormat::SignedUninstallerEntry, uninstallerTable);
    writer.Finish();
    const std::string& body = tail.DataString();
    using namespace VnPackageFormat;
    const size_t padding =
        (Alignment - (stub.size() + body.size() + SignatureBlockSize) % Alignment) % Alignment;
    auto output = std::make_unique<TVnFileStream>(outputFile, TVnFileStream::Mode::Create);
    try {
        output->WriteBuffer(stub.data(), stub.size());
        output->WriteBuffer(std::string(padding, '\0').data(), padding);
        output->WriteBuffer(body.data(), body.size());
        AppendSignature(*output, sign);
    } catch (...) {
        output.reset();
        VnPlatform::DeleteFile(outputFile);
        throw;
    }
}

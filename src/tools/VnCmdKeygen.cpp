// vntsetup keygen: a new 1024-bit RSA key with public exponent 65537; the private key as PEM,
// the public key as the 256-byte key record that the setup program carries.
#include "VnCommands.h"
#include "VnSysUtils.h"

#ifdef VNT_HAVE_OPENSSL
#include <memory>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include "VnLongNumbers.h"
#include "VnOpenSSL.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok)
        throw EVnException(Format("Key generation failed: %s", what));
}

// A parameter of the key as a 128-byte little-endian long number.
std::string KeyNumber(const EVP_PKEY* key, const char* name) {
    BIGNUM* value = nullptr;
    Check(EVP_PKEY_get_bn_param(key, name, &value) == 1, name);
    TOwned<BIGNUM> owned(value);
    std::string bytes(LongBytes, '\0');
    Check(BN_bn2lebinpad(value, reinterpret_cast<unsigned char*>(&bytes[0]), LongBytes) ==
              int(LongBytes),
          name);
    return bytes;
}

[[noreturn]] void AlreadyExists(const std::string& fileName) {
    throw EVnException(Format("File \"%s\" already exists", fileName.c_str()));
}

void RefuseExisting(const std::string& fileName) {
    if (VnPlatform::FileExists(fileName) || VnPlatform::DirectoryExists(fileName))
        AlreadyExists(fileName);
}

// Creates the file exclusively with owner-only access and writes data; on failure the file is
// removed again.
void WriteNewPrivateFile(const std::string& fileName, const std::string& data) {
    const VnPlatform::FileHandle file = VnPlatform::CreateNewPrivateFile(fileName);
    if (file == VnPlatform::InvalidFile) {
        const uint32_t code = VnPlatform::LastError();
        if (code == VnPlatform::ERROR_ALREADY_EXISTS_CODE ||
            code == VnPlatform::ERROR_FILE_EXISTS_CODE)
            AlreadyExists(fileName);
        throw EFCreateError(fileName, code);
    }
    uint32_t done = 0;
    const bool written = VnPlatform::WriteFile(file, data.data(), uint32_t(data.size()), done) &&
                         done == data.size() && VnPlatform::FlushFile(file);
    VnPlatform::CloseFile(file);
    if (!written) {
        VnPlatform::DeleteFile(fileName);
        throw EWriteError();
    }
}

} // namespace

int CmdKeygen(const std::vector<std::string>& words) {
    TVnArgs args(words, {"--private", "--public"}, {});
    args.ExpectPositional(0, "keygen --private PRIVATE.pem --public PUBLIC.key");
    const std::string privateFile = args.Required("--private");
    const std::string publicFile = args.Required("--public");
    RefuseExisting(privateFile);
    RefuseExisting(publicFile);

    TOwned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    Check(context && EVP_PKEY_keygen_init(context.get()) == 1, "context");
    Check(EVP_PKEY_CTX_set_rsa_keygen_bits(context.get(), int(LongBytes * 8)) == 1, "bits");
    TOwned<BIGNUM> exponent(BN_new());
    Check(exponent && BN_set_word(exponent.get(), 65537) == 1 &&
              EVP_PKEY_CTX_set1_rsa_keygen_pubexp(context.get(), exponent.get()) == 1,
          "exponent");
    EVP_PKEY* generated = nullptr;
    Check(EVP_PKEY_generate(context.get(), &generated) == 1, "generate");
    TOwned<EVP_PKEY> key(generated);

    TOwned<BIO> pem(BIO_new(BIO_s_mem()));
    Check(pem && PEM_write_bio_PrivateKey(pem.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                          nullptr) == 1,
          "PEM");
    char* pemData = nullptr;
    long pemSize = BIO_get_mem_data(pem.get(), &pemData);
    std::string record =
        KeyNumber(key.get(), OSSL_PKEY_PARAM_RSA_N) + KeyNumber(key.get(), OSSL_PKEY_PARAM_RSA_E);

    // Both files are new names created exclusively: an existing name, a symbolic link included,
    // is never followed or overwritten, and the key is never readable by others.
    WriteNewPrivateFile(privateFile, std::string(pemData, size_t(pemSize)));
    try {
        WriteNewPrivateFile(publicFile, record);
    } catch (...) {
        VnPlatform::DeleteFile(privateFile);
        throw;
    }
    return 0;
}

#else

int CmdKeygen(const std::vector<std::string>&) {
    throw EVnException("not available in this build");
}

#endif

// vntsetup pack: a signed package made of a stub program and the archive of a payload folder,
// signed with the publisher's private key; with --signed-uninstaller, it also carries the
// certificate table of the stub's uninstaller as the publisher signed it.
#include "VnCommands.h"
#include "VnSysUtils.h"

#ifdef VNT_HAVE_OPENSSL
#include <algorithm>
#include <memory>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include "VnArchiveWriter.h"
#include "VnOpenSSL.h"

namespace {

std::string OpenSSLError() {
    char text[256];
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return text;
}

TOwned<EVP_PKEY> ReadPrivateKey(const std::string& fileName) {
    std::string pem = ReadFileText(fileName);
    TOwned<BIO> bio(BIO_new_mem_buf(pem.data(), int(pem.size())));
    TOwned<EVP_PKEY> key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                             : nullptr);
    if (!key)
        throw EVnException(
            Format("Cannot read private key \"%s\": %s", fileName.c_str(), OpenSSLError().c_str()));
    if (EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA ||
        EVP_PKEY_get_bits(key.get()) != int(LongBytes * 8))
        throw EVnException(
            Format("Private key \"%s\" is not a 1024-bit RSA key", fileName.c_str()));
    return key;
}

// The raw private-key operation; OpenSSL works on big-endian numbers, the block is little-endian.
TVnSigner OpenSSLSigner(std::shared_ptr<EVP_PKEY> key) {
    return [key](const uint8_t* plaintext, uint8_t* signature) {
        TOwned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new(key.get(), nullptr));
        unsigned char input[LongBytes], output[LongBytes];
        std::reverse_copy(plaintext, plaintext + LongBytes, input);
        size_t length = sizeof output;
        if (!context || EVP_PKEY_sign_init(context.get()) != 1 ||
            EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_NO_PADDING) != 1 ||
            EVP_PKEY_sign(context.get(), output, &length, input, sizeof input) != 1 ||
            length != LongBytes)
            throw EVnException("Signing failed: " + OpenSSLError());
        std::reverse_copy(output, output + LongBytes, signature);
    };
}

} // namespace

int CmdPack(const std::vector<std::string>& words) {
    TVnArgs args(words,
                 {"--stub", "--payload", "--private-key", "--output", "--signed-uninstaller"}, {});
    args.ExpectPositional(0,
                          "pack --stub STUB --payload DIR --private-key PRIVATE.pem --output OUT "
                          "[--signed-uninstaller FILE]");
    const std::string stub = args.Required("--stub");
    const std::string payload = args.Required("--payload");
    const std::string keyFile = args.Required("--private-key");
    const std::string output = args.Required("--output");
    std::shared_ptr<EVP_PKEY> key(ReadPrivateKey(keyFile).release(), EVP_PKEY_free);
    WritePackage(stub, payload, output, OpenSSLSigner(key), args.Value("--signed-uninstaller"));
    return 0;
}

#else

int CmdPack(const std::vector<std::string>&) {
    throw EVnException("not available in this build");
}

#endif

// Ownership of OpenSSL objects for the commands that use OpenSSL (native build only).
#pragma once

#include <memory>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>

struct TOpenSSLFree {
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(BIGNUM* p) const { BN_free(p); }
    void operator()(BIO* p) const { BIO_free(p); }
};
template <class T> using TOwned = std::unique_ptr<T, TOpenSSLFree>;

#include "packages/packagedigest.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

PackageDigest::PackageDigest(Algorithm algorithm)
    : m_algorithm(algorithm), m_context(EVP_MD_CTX_new()) {
    reset();
}

PackageDigest::~PackageDigest() {
    EVP_MD_CTX_free(m_context);
}

void PackageDigest::reset() {
    // A library set up to refuse MD5 fails here; the empty result then fails verification.
    m_failed =
        !m_context ||
        EVP_DigestInit_ex(m_context, m_algorithm == Md5 ? EVP_md5() : EVP_sha256(), nullptr) != 1;
}

void PackageDigest::addData(const char *data, std::size_t size) {
    if (!m_failed && size > 0)
        m_failed = EVP_DigestUpdate(m_context, data, size) != 1;
}

std::string PackageDigest::hexResult() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (m_failed || EVP_DigestFinal_ex(m_context, digest, &size) != 1)
        return {};
    m_failed = true; // spent
    return QByteArray(reinterpret_cast<const char *>(digest), int(size)).toHex().toStdString();
}

void PackageDigest::releaseThreadState() {
    OPENSSL_thread_stop();
}

#pragma once

#include <QByteArray>

#include <cstddef>
#include <string>

struct evp_md_ctx_st;

// A running MD5 or SHA-256 over a stream. Package files are summed while they download, so
// the sums set the pace: the crypto library's are the fastest here (its own assembly, the
// processor's SHA instructions where there are any).
class PackageDigest {
public:
    enum Algorithm { Md5, Sha256 };

    explicit PackageDigest(Algorithm algorithm);
    ~PackageDigest();
    PackageDigest(const PackageDigest &) = delete;
    PackageDigest &operator=(const PackageDigest &) = delete;

    void reset();
    void addData(const char *data, std::size_t size);
    void addData(const QByteArray &data) { addData(data.constData(), std::size_t(data.size())); }
    // The lower-case hexadecimal sum; empty when the library failed (a sum that cannot
    // match). The digest is spent afterwards until reset.
    std::string hexResult();

    // Frees what the crypto library keeps for the calling thread; call it last on a thread
    // whose end the program does not wait for in full.
    static void releaseThreadState();

private:
    Algorithm m_algorithm;
    evp_md_ctx_st *m_context;
    bool m_failed = false;
};

#pragma once

#include <QByteArray>

#include <memory>
#include <string>

// The MD5 and SHA-256 of a download, each computed on a thread of its own while the transfer
// goes on: from a near server either sum costs about as much as the transfer itself, so on
// the downloading thread they would make it two or three times slower.
class PackageStreamHash {
public:
    PackageStreamHash(bool md5, bool sha256);
    ~PackageStreamHash();
    PackageStreamHash(const PackageStreamHash &) = delete;
    PackageStreamHash &operator=(const PackageStreamHash &) = delete;

    // Shares the bytes with the hashing threads (no copy); waits when they are far behind, so
    // that a fast server cannot fill the memory.
    void add(const QByteArray &data);
    // Starts the sums again, as when a server sends the whole file instead of the rest.
    void reset();
    // The lower-case hexadecimal sums of everything added since the last reset; empty for a
    // sum that was not asked for. Waits for the threads; the object is spent afterwards.
    void finish(std::string &md5, std::string &sha256);

private:
    class Lane;
    std::unique_ptr<Lane> m_md5;
    std::unique_ptr<Lane> m_sha256;
};

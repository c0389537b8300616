#pragma once

#include <string>
#include <sys/types.h>

// A new file written beside its destination under a temporary name and renamed into place
// once complete, so a failure neither leaves a partial file nor destroys the one that was
// there. Unless committed, the temporary file is removed on destruction.
class ReplacementFile {
public:
    explicit ReplacementFile(std::string destination);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Creates the temporary file with the given permissions (before the umask); returns the
    // descriptor, or -1 with errno set.
    int create(mode_t permissions);
    const std::string &temporaryPath() const { return m_temporary; }
    const std::string &destination() const { return m_destination; }

    // The caller closes the descriptor from here on (for instance through a C stream).
    int releaseDescriptor();

    // Renames the (closed) temporary file to the destination. Without `overwrite` an
    // existing destination is left alone and errno is EEXIST. False on failure.
    bool commit(bool overwrite);

private:
    std::string m_destination;
    std::string m_temporary;
    int m_descriptor = -1;
    bool m_committed = false;
};

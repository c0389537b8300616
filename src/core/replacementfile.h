#pragma once

#include <string>
#include <sys/types.h>

// A new file written beside its destination under a temporary name and renamed into place
// once complete, so a failure neither leaves a partial file nor destroys the one that was
// there. Unless committed, the temporary file is removed on destruction. An output that is
// a device or a pipe has nothing to replace and is written in place (see `openOutput`).
class ReplacementFile {
public:
    explicit ReplacementFile(std::string destination);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Creates the temporary file with the given permissions (before the umask); returns the
    // descriptor, or -1 with errno set.
    int create(mode_t permissions);
    // Opens where an output file's bytes go: a symbolic link is followed (the link stays), a
    // device or pipe is opened in place, an existing file that may not be written fails
    // (EACCES) as does a directory (EISDIR), and otherwise a temporary file is created with
    // the mode of the file it replaces. Returns the descriptor, or -1 with errno set.
    int openOutput(mode_t permissions);
    bool writesInPlace() const { return m_inPlace; }
    const std::string &temporaryPath() const { return m_temporary; }
    const std::string &destination() const { return m_destination; }

    // The caller closes the descriptor from here on (for instance through a C stream).
    int releaseDescriptor();

    // Renames the (closed) temporary file to the destination; in place, only closes. Without
    // `overwrite` an existing destination is left alone and errno is EEXIST. False on failure.
    bool commit(bool overwrite);

private:
    std::string m_destination;
    std::string m_temporary;
    int m_descriptor = -1;
    bool m_committed = false;
    bool m_inPlace = false;
};

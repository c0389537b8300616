#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// The file a script writer produces. It is opened before the script is generated, so that an
// output that cannot be created is what gets reported; a write that does not complete (a full
// disk, a file-size limit) is a failure, never a short script.
class LinkerScriptFile {
public:
    // Throws HException "cannot open NAME for writing".
    explicit LinkerScriptFile(std::string name);
    LinkerScriptFile(const LinkerScriptFile &) = delete;
    LinkerScriptFile &operator=(const LinkerScriptFile &) = delete;
    ~LinkerScriptFile();

    // Writes the whole text and closes the file. Throws HException "cannot write NAME".
    void writeAndClose(std::string_view text);

private:
    std::string m_name;
    std::FILE *m_file = nullptr;
};

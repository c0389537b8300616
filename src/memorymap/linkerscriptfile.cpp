#include "memorymap/linkerscriptfile.h"

#include "core/hexception.h"

LinkerScriptFile::LinkerScriptFile(std::string name) : m_name(std::move(name)) {
    m_file = std::fopen(m_name.c_str(), "w");
    if (!m_file)
        throw HException("cannot open " + m_name + " for writing");
}

LinkerScriptFile::~LinkerScriptFile() {
    if (m_file)
        std::fclose(m_file);
}

void LinkerScriptFile::writeAndClose(std::string_view text) {
    bool written = std::fwrite(text.data(), 1, text.size(), m_file) == text.size();
    written = std::fflush(m_file) == 0 && written;
    written = !std::ferror(m_file) && written;
    written = std::fclose(m_file) == 0 && written;
    m_file = nullptr;
    if (!written)
        throw HException("cannot write " + m_name);
}

// Interprets arbitrary text line by line, as the console does, with a step budget so that
// loops end. Files are off: the input must not touch the disk.
#include "forth/forthexception.h"
#include "forth/fscontext.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// KEY takes the characters of the lines not yet interpreted, as the console's does.
class LineKeyboard : public FSKeyboard {
public:
    LineKeyboard(std::vector<std::string> &lines, std::size_t &next)
        : m_lines(lines), m_next(next) {}
    int key() override {
        while (m_next < m_lines.size()) {
            const std::string &line = m_lines[m_next];
            if (m_column < line.size())
                return static_cast<unsigned char>(line[m_column++]);
            ++m_next;
            m_column = 0;
            return '\n';
        }
        return -1;
    }
    bool keyReady() override { return m_next < m_lines.size(); }

private:
    std::vector<std::string> &m_lines;
    std::size_t &m_next;
    std::size_t m_column = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::size_t next = 0;

    FSContext context;
    context.setOutput([](std::string_view) {});
    context.setFileAccess(false);
    context.setInstructionBudget(20000);
    LineKeyboard keyboard(lines, next);
    context.setKeyboard(&keyboard);
    context.setConsoleReader([&](std::string &line) {
        if (next >= lines.size())
            return false;
        line = lines[next++];
        return true;
    });
    try {
        while (next < lines.size()) {
            try {
                context.interpretConsoleLine(lines[next++]);
            } catch (const ForthException &) {
                context.resetAfterError();
            }
        }
    } catch (const ForthBye &) {
    }
    return 0;
}

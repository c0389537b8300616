#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One line of a text load file.
struct LoadFileLine {
    std::string_view text; // without its line end
    std::size_t length;    // with its line end counted as one character, when it has one
};

// The reading side of the load files: a file opened read-only, read whole or line by line
// through one large buffer.
class LoadFileInput {
public:
    // Throws "cannot open " + path.
    explicit LoadFileInput(const std::string &path);
    ~LoadFileInput();
    LoadFileInput(const LoadFileInput &) = delete;
    LoadFileInput &operator=(const LoadFileInput &) = delete;

    // The whole file; images must stay below 4 GiB.
    std::vector<std::uint8_t> readAll();
    // The next line, or false at the end of the file. A line of more than `maxLength`
    // characters, its line end included, throws "line too long". "\r\n" counts as one line end.
    bool nextLine(LoadFileLine &line, std::size_t maxLength);

private:
    // Reads more bytes behind the unread ones; false at the end of the file.
    bool fill();

    std::string m_path;
    int m_fd = -1;
    std::unique_ptr<char[]> m_buffer; // allocated on first use by the line reader
    std::size_t m_begin = 0;          // first unread byte
    std::size_t m_end = 0;            // one past the last byte read
    bool m_atEnd = false;
};

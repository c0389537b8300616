// File access. File names and text are text arguments (a string cell, or c-addr u); a fileid
// indexes the engine's table of open files; ior 0 is success, a system error number or -1
// otherwise.
#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/fstext.h"
#include "forth/fswordsimpl.h"
#include "forth/pmemory.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kBadFile = -1;

int lastError() {
    return errno ? errno : EIO;
}

FILE *popFile(FSContext &c) {
    if (!c.fileAccess())
        forthThrow(kErrUnsupported, "file access disabled");
    return c.file(c.popInt());
}

std::string popFileName(FSContext &c) {
    if (!c.fileAccess())
        forthThrow(kErrUnsupported, "file access disabled");
    return popText(c);
}

// ( name fam -- fileid ior )
void openWith(FSContext &c, const char *const modes[8]) {
    std::int64_t fam = c.popInt();
    std::string name = popFileName(c);
    if (fam < 0 || fam >= 8) {
        c.pushInt(0);
        c.pushInt(kBadFile);
        return;
    }
    int error = 0;
    int id = c.openFile(name, modes[fam], error);
    c.pushInt(id);
    c.pushInt(id ? 0 : error);
}

std::int64_t readText(FSContext &c, FILE *file, std::int64_t limit, bool line, std::string &text,
                      bool &sawEnd) {
    limit = std::clamp<std::int64_t>(limit, 0, std::int64_t(FSContext::kStringLimit));
    errno = 0;
    sawEnd = false;
    while (std::int64_t(text.size()) < limit) {
        int ch = std::getc(file);
        if (ch == EOF)
            break;
        if (line && ch == '\n') {
            sawEnd = true;
            break;
        }
        text += char(ch);
    }
    if (line && sawEnd && !text.empty() && text.back() == '\r')
        text.pop_back();
    c.charge(text.size() / 16);
    return std::ferror(file) ? lastError() : 0;
}

} // namespace

void wBin(FSContext &c) {
    c.pushInt(c.popInt() | 1);
}

void wReadOnly(FSContext &c) {
    c.pushInt(2);
}

void wWriteOnly(FSContext &c) {
    c.pushInt(4);
}

void wReadWrite(FSContext &c) {
    c.pushInt(6);
}

void wOpenFile(FSContext &c) {
    // Opening never creates nor empties a file: writing modes update it in place.
    static const char *const modes[8] = {"r", "rb", "r", "rb", "r+", "r+b", "r+", "r+b"};
    openWith(c, modes);
}

void wCreateFile(FSContext &c) {
    static const char *const modes[8] = {"w", "wb", "w", "wb", "w", "wb", "w", "wb"};
    openWith(c, modes);
}

void wCloseFile(FSContext &c) {
    if (!c.fileAccess())
        forthThrow(kErrUnsupported, "file access disabled");
    std::int64_t id = c.popInt();
    c.pushInt(c.fileInUse(id) ? EBUSY : c.closeFile(id));
}

void wDeleteFile(FSContext &c) {
    std::string name = popFileName(c);
    if (name.find('\0') != std::string::npos) {
        c.pushInt(ENOENT); // the name up to the NUL is another file
        return;
    }
    errno = 0;
    c.pushInt(std::remove(name.c_str()) == 0 ? 0 : lastError());
}

// Positions and sizes are double-cell numbers (low cell below the high one).
static std::int64_t popPosition(FSContext &c) {
    c.need(2);
    std::int64_t high = c.peek(0).toInteger();
    std::int64_t low = c.peek(1).toInteger();
    c.pop();
    c.pop();
    return high == 0 || (high == -1 && low < 0) ? low : -1;
}

void wFilePosition(FSContext &c) {
    // ( fileid -- ud ior )
    FILE *file = popFile(c);
    long position = file ? std::ftell(file) : -1;
    c.pushInt(position < 0 ? 0 : position);
    c.pushInt(0);
    c.pushInt(!file ? kBadFile : position < 0 ? lastError() : 0);
}

void wRepositionFile(FSContext &c) {
    // ( ud fileid -- ior )
    FILE *file = popFile(c);
    std::int64_t position = popPosition(c);
    if (!file) {
        c.pushInt(kBadFile);
        return;
    }
    errno = 0;
    c.pushInt(position >= 0 && std::fseek(file, long(position), SEEK_SET) == 0 ? 0 : lastError());
}

void wResizeFile(FSContext &c) {
    // ( ud fileid -- ior )
    FILE *file = popFile(c);
    std::int64_t size = popPosition(c);
    if (!file) {
        c.pushInt(kBadFile);
        return;
    }
    errno = 0;
    bool done = size >= 0 && std::fflush(file) == 0 && ftruncate(fileno(file), off_t(size)) == 0;
    c.pushInt(done ? 0 : lastError());
}

// The reading words take a buffer when a data address lies below the count (the standard
// form) and push the text as a string cell otherwise.
static void pushRead(FSContext &c, Cell *buffer, std::string text) {
    if (buffer) {
        for (std::size_t k = 0; k < text.size(); ++k)
            storeChar(*buffer, std::int64_t(k), static_cast<unsigned char>(text[k]));
    }
    std::int64_t length = std::int64_t(text.size());
    if (!buffer)
        c.push(Cell::string(std::move(text)));
    c.pushInt(length);
}

static bool popReadTarget(FSContext &c, FILE *&file, std::int64_t &limit, Cell &buffer) {
    file = popFile(c);
    limit = c.popInt();
    if (c.depth() == 0 || c.peek(0).type != CellType::DataAddress)
        return false;
    buffer = c.pop();
    PMemory *region = buffer.region;
    if (limit > 0 && (!region->contains(buffer.i) || !region->contains(buffer.i + limit - 1)))
        forthThrow(kErrInvalidAddress, "cell store outside allotted region");
    return true;
}

void wReadFile(FSContext &c) {
    // ( c-addr u1 fileid -- u2 ior ) or ( u1 fileid -- string u2 ior )
    FILE *file;
    std::int64_t limit;
    Cell buffer;
    bool toBuffer = popReadTarget(c, file, limit, buffer);
    std::string text;
    bool sawEnd;
    std::int64_t ior = file ? readText(c, file, limit, false, text, sawEnd) : kBadFile;
    pushRead(c, toBuffer ? &buffer : nullptr, std::move(text));
    c.pushInt(ior);
}

void wReadLine(FSContext &c) {
    // ( c-addr u1 fileid -- u2 flag ior ) or ( u1 fileid -- string u2 flag ior ): flag is
    // false only at the end of the file.
    FILE *file;
    std::int64_t limit;
    Cell buffer;
    bool toBuffer = popReadTarget(c, file, limit, buffer);
    std::string text;
    bool sawEnd = false;
    std::int64_t ior = file ? readText(c, file, limit, true, text, sawEnd) : kBadFile;
    bool gotLine = file && (sawEnd || !text.empty() || !std::feof(file));
    pushRead(c, toBuffer ? &buffer : nullptr, std::move(text));
    c.pushFlag(gotLine && ior == 0);
    c.pushInt(ior);
}

static void writeText(FSContext &c, bool line) {
    // ( text fileid -- ior )
    FILE *file = popFile(c);
    std::string bytes = popText(c);
    if (!file) {
        c.pushInt(kBadFile);
        return;
    }
    errno = 0;
    bool done = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                (!line || std::fputc('\n', file) != EOF);
    c.pushInt(done ? 0 : lastError());
}

void wWriteFile(FSContext &c) {
    writeText(c, false);
}

void wWriteLine(FSContext &c) {
    writeText(c, true);
}

void wIncludeFile(FSContext &c) {
    if (!c.fileAccess())
        forthThrow(kErrUnsupported, "file access disabled");
    std::int64_t id = c.popInt();
    if (!c.file(id))
        forthThrow(kErrAbort, std::string("i/o error ") + std::to_string(EBADF));
    if (c.fileInUse(id))
        forthThrow(kErrAbort, std::string("i/o error ") + std::to_string(EBUSY));
    c.includeOpenFile(int(id), std::string("fileid ") + std::to_string(id));
}

void wIncluded(FSContext &c) {
    c.includeFile(popText(c));
}

void wFileSize(FSContext &c) {
    // ( fileid -- ud ior )
    FILE *file = popFile(c);
    struct stat status;
    errno = 0;
    bool known = file && std::fflush(file) == 0 && fstat(fileno(file), &status) == 0;
    c.pushInt(known ? status.st_size : 0);
    c.pushInt(0);
    c.pushInt(!file ? kBadFile : known ? 0 : lastError());
}

void wFlushFile(FSContext &c) {
    FILE *file = popFile(c);
    errno = 0;
    c.pushInt(!file ? kBadFile : std::fflush(file) == 0 ? 0 : lastError());
}

void wRenameFile(FSContext &c) {
    // ( old new -- ior )
    std::string to = popFileName(c);
    std::string from = popFileName(c);
    if (from.find('\0') != std::string::npos || to.find('\0') != std::string::npos) {
        c.pushInt(ENOENT);
        return;
    }
    errno = 0;
    c.pushInt(std::rename(from.c_str(), to.c_str()) == 0 ? 0 : lastError());
}

void wFileStatus(FSContext &c) {
    // ( name -- x ior ): x is the mode bits of the file.
    std::string name = popFileName(c);
    struct stat status;
    errno = 0;
    bool found = name.find('\0') == std::string::npos && stat(name.c_str(), &status) == 0;
    c.pushInt(found ? std::int64_t(status.st_mode) : 0);
    c.pushInt(found ? 0 : lastError());
}

void wInclude(FSContext &c) {
    c.includeFile(c.parseRequiredName());
}

#pragma once

#include "core/hexception.h"
#include "golden.h"
#include "loadfile/codebuffer.h"
#include "loadfile/loadfile.h"
#include "loadfile/loadfilefactory.h"
#include "scratchdirtest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A run of bytes at an address, as a test states an image.
struct Chunk {
    std::uint32_t address;
    std::string bytes;
    bool operator==(const Chunk &) const = default;
};

inline void PrintTo(const Chunk &chunk, std::ostream *out) {
    *out << "{0x" << std::hex << chunk.address << std::dec << ", " << chunk.bytes.size()
         << " bytes}";
}

// The sections of a load file in list order.
inline std::vector<Chunk> chunksOf(LoadFileInterface &loadFile) {
    std::vector<Chunk> chunks;
    for (const LoadFileSectionList::Item &section : loadFile.sections())
        chunks.push_back(
            {section->address(),
             std::string(reinterpret_cast<const char *>(section->data()), section->length())});
    return chunks;
}

// Address -> byte over every section; what two images must agree on.
inline std::map<std::uint32_t, std::uint8_t> byteMap(const std::vector<Chunk> &chunks) {
    std::map<std::uint32_t, std::uint8_t> bytes;
    for (const Chunk &chunk : chunks)
        for (std::size_t i = 0; i < chunk.bytes.size(); ++i)
            bytes[chunk.address + std::uint32_t(i)] = std::uint8_t(chunk.bytes[i]);
    return bytes;
}

inline void writeImage(CodeBuffer &writer, const std::vector<Chunk> &chunks, std::uint32_t entry) {
    for (const Chunk &chunk : chunks) {
        writer.setAddress(chunk.address);
        writer.putBytes(reinterpret_cast<const std::uint8_t *>(chunk.bytes.data()),
                        chunk.bytes.size());
    }
    writer.finish(entry);
}

// Reads load files written into the scratch directory.
class LoadFileTest : public ScratchDirTest {
protected:
    std::unique_ptr<LoadFileInterface> read(const std::string &kind, const std::string &name,
                                            const std::string &content) {
        return LoadFileFactory().create(write(name, content), kind.c_str());
    }
    // The message a reader throws for the content.
    std::string readError(const std::string &kind, const std::string &content) {
        try {
            read(kind, "bad", content);
        } catch (const HException &error) {
            return error.message();
        }
        return "(no error)";
    }
};

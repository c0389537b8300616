#include "xml/xmlallocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct Block {
    unsigned char *bytes;
    std::size_t size;
    unsigned char fill;
};

Block allocate(std::size_t size, unsigned char fill) {
    auto *bytes = static_cast<unsigned char *>(xmlAllocate(size));
    std::memset(bytes, fill, size);
    return {bytes, size, fill};
}

bool intact(const Block &block) {
    for (std::size_t i = 0; i < block.size; ++i) {
        if (block.bytes[i] != block.fill)
            return false;
    }
    return true;
}

} // namespace

TEST(XMLAllocator, BlocksNeverOverlapAndSurviveReleasesFromOtherThreads) {
    // Small and slab-sized requests mixed, so that slabs fill up, retire and get their own
    // large blocks; every block keeps its own fill pattern.
    std::vector<Block> blocks;
    for (int i = 0; i < 20000; ++i) {
        std::size_t size = i % 97 == 0 ? 9000 + i % 5000 : 1 + (i * 37) % 300;
        blocks.push_back(allocate(size, static_cast<unsigned char>(i)));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back().bytes) % 8, 0u);
    }
    std::vector<Block> released(blocks.begin(), blocks.begin() + 10000);
    std::thread other([&] {
        for (const Block &block : released)
            xmlRelease(block.bytes);
    });
    std::vector<Block> more;
    for (int i = 0; i < 5000; ++i)
        more.push_back(allocate(1 + i % 200, static_cast<unsigned char>(~i)));
    other.join();
    int damaged = 0;
    for (std::size_t i = 10000; i < blocks.size(); ++i)
        damaged += !intact(blocks[i]);
    for (const Block &block : more)
        damaged += !intact(block);
    EXPECT_EQ(damaged, 0);
    for (std::size_t i = 10000; i < blocks.size(); ++i)
        xmlRelease(blocks[i].bytes);
    for (const Block &block : more)
        xmlRelease(block.bytes);
    xmlRelease(nullptr);
}

TEST(XMLAllocator, BlocksOutliveTheThreadThatAllocatedThem) {
    // The thread's unused memory goes back when it ends; what it handed out stays.
    std::vector<Block> blocks;
    std::thread maker([&] {
        for (int i = 0; i < 3000; ++i)
            blocks.push_back(allocate(100 + i % 50, static_cast<unsigned char>(i)));
    });
    maker.join();
    int damaged = 0;
    for (const Block &block : blocks)
        damaged += !intact(block);
    EXPECT_EQ(damaged, 0);
    for (const Block &block : blocks)
        xmlRelease(block.bytes);
}

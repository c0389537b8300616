// Load files exchanged with srec_cat and arm-none-eabi-objcopy.

#include "crosstool.h"
#include "loadfiletesting.h"
#include "toolrunner.h"

#include "loadfile/tekhexbuffer.h"

#include <QStandardPaths>

namespace {
// Bytes that differ from their neighbours and from their offsets.
std::string patternBytes(std::size_t count) {
    std::string bytes(count, '\0');
    std::uint32_t state = 12345;
    for (char &byte : bytes) {
        state = state * 1103515245 + 12345;
        byte = char(state >> 16);
    }
    return bytes;
}

void runPeer(const std::string &program, const std::vector<std::string> &arguments) {
    std::string path =
        QStandardPaths::findExecutable(QString::fromStdString(program)).toStdString();
    ToolResult result = runTool(path, arguments);
    ASSERT_EQ(result.exitCode, 0) << program << " failed: " << result.err;
}

// Runs across 64 KiB boundaries, with a gap, above 16 MiB.
const std::vector<Chunk> kImage = {{0x0800fff0, patternBytes(70000)},
                                   {0x08040000, patternBytes(333)}};
} // namespace

class CrossCheck : public LoadFileTest {
protected:
    // The image as binary files, one per chunk, for the peers to place.
    std::vector<std::string> chunkFiles() {
        std::vector<std::string> files;
        for (std::size_t i = 0; i < kImage.size(); ++i)
            files.push_back(write("chunk" + std::to_string(i) + ".bin", kImage[i].bytes));
        return files;
    }
    void expectReads(const std::string &kind, const std::string &file) {
        auto loadFile = LoadFileFactory().create(path(file), kind.c_str());
        EXPECT_EQ(byteMap(chunksOf(*loadFile)), byteMap(kImage)) << file;
    }
};

TEST_F(CrossCheck, SrecCatFilesReadTheSame) {
    REQUIRE_TOOL("srec_cat", "srecord");
    std::vector<std::string> chunks = chunkFiles();
    // One byte a record makes more than 65535 records, which end with an S6 count.
    const std::vector<std::string> outputs[] = {{"peer.hex", "-intel"},
                                                {"peer.srec", "-motorola"},
                                                {"peer.txt", "-ti-txt"},
                                                {"many.srec", "-motorola", "-obs=1"}};
    for (const std::vector<std::string> &output : outputs) {
        std::vector<std::string> arguments;
        for (std::size_t i = 0; i < kImage.size(); ++i)
            arguments.insert(arguments.end(),
                             {chunks[i], "-binary", "-offset", std::to_string(kImage[i].address)});
        arguments.insert(arguments.end(), {"-o", path(output[0])});
        arguments.insert(arguments.end(), output.begin() + 1, output.end());
        runPeer("srec_cat", arguments);
    }
    expectReads("ihex", "peer.hex");
    expectReads("srec", "peer.srec");
    expectReads("tihex", "peer.txt");
    ASSERT_NE(readFileBytes(path("many.srec")).find("\nS6"), std::string::npos);
    expectReads("srec", "many.srec");
}

TEST_F(CrossCheck, ObjcopyFilesReadTheSame) {
    REQUIRE_TOOL("arm-none-eabi-objcopy", "binutils-arm-none-eabi");
    write("image.bin", kImage[0].bytes);
    for (const char *format : {"ihex", "srec"}) {
        runPeer("arm-none-eabi-objcopy",
                {"-I", "binary", "-O", format, "--change-addresses", "0x0800fff0",
                 path("image.bin"), path(std::string("peer.") + format)});
        auto loadFile = LoadFileFactory().create(path(std::string("peer.") + format), format);
        EXPECT_EQ(byteMap(chunksOf(*loadFile)), byteMap({kImage[0]})) << format;
    }
}

TEST_F(CrossCheck, PeersReadOurFilesToTheSameImage) {
    REQUIRE_TOOL("srec_cat", "srecord");
    REQUIRE_TOOL("arm-none-eabi-objcopy", "binutils-arm-none-eabi");
    const std::pair<const char *, const char *> formats[] = {{"hex", "-intel"},
                                                             {"srec", "-motorola"},
                                                             {"txt", "-ti-txt"},
                                                             {"tek", "-tektronix_extended"}};
    for (const auto &[format, peerFormat] : formats) {
        std::string ours = path(std::string("ours.") + format);
        std::unique_ptr<CodeBuffer> writer = std::string(format) == "tek"
                                                 ? std::make_unique<TekHexBuffer>(ours)
                                                 : createWriter(format, ours);
        writeImage(*writer, kImage, 0x08000123);
        // Back to binary, as a user would convert our file with the peer.
        runPeer("srec_cat",
                {ours, peerFormat, "-offset", "-0x0800fff0", "-o", path("back.bin"), "-binary"});
        std::string back = readFileBytes(path("back.bin"));
        EXPECT_EQ(back.substr(0, kImage[0].bytes.size()), kImage[0].bytes) << format;
        EXPECT_EQ(back.substr(kImage[1].address - kImage[0].address), kImage[1].bytes) << format;
        if (std::string(format) == "hex" || std::string(format) == "srec") {
            runPeer("arm-none-eabi-objcopy", {"-I", std::string(format) == "hex" ? "ihex" : "srec",
                                              "-O", "srec", ours, path("objcopy.srec")});
            expectReads("srec", "objcopy.srec");
        }
    }
}

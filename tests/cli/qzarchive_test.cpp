// qzarchive as a user runs it: output, messages, exit status and the files left behind.

#include "packages/packagearchive.h"

#include "golden.h"
#include "toolrunner.h"

#include <QDirIterator>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

class QzArchiveTool : public ::testing::Test {
protected:
    void SetUp() override { m_root = m_dir.path().toStdString(); }

    ToolResult run(const std::vector<std::string> &arguments) {
        return runTool("qzarchive", arguments, {}, m_root);
    }

    std::string path(const std::string &name) const { return m_root + "/" + name; }

    void makeFile(const std::string &name, const std::string &bytes, mode_t mode, time_t time) {
        writeFileBytes(path(name), bytes);
        ::chmod(path(name).c_str(), mode);
        struct utimbuf times = {time, time};
        ::utime(path(name).c_str(), &times);
    }

    // Two files in a directory and one beside it, with known modes and times.
    void makeTree() {
        makeFile("src/a.txt", "alpha\n", 0644, 1000000000);
        makeFile("src/sub/b.bin", m_noise, 0755, 1234567890);
        makeFile("ro.txt", "read only", 0444, 0);
    }

    // Every file below the test directory, hidden ones included.
    std::vector<std::string> filesLeft() const {
        std::vector<std::string> files;
        QDirIterator it(m_dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.push_back(it.next().mid(m_dir.path().size() + 1).toStdString());
        std::sort(files.begin(), files.end());
        return files;
    }

    bool exists(const std::string &name) const {
        struct stat info;
        return ::lstat(path(name).c_str(), &info) == 0;
    }

    QTemporaryDir m_dir;
    std::string m_root;
    std::string m_noise = [] {
        std::mt19937 random(7);
        std::string bytes(5000, '\0');
        for (char &c : bytes)
            c = char(random());
        return bytes;
    }();
};

TEST_F(QzArchiveTool, HelpAndUsageErrors) {
    ToolResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: qzarchive", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
    for (const char *command : {"create", "list", "extract", "cat"}) {
        ToolResult commandHelp = run({command, "--help"});
        EXPECT_EQ(commandHelp.exitCode, 0);
        EXPECT_EQ(commandHelp.out.rfind(std::string("usage: qzarchive ") + command, 0), 0u);
    }
    ToolResult bare = run({});
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_NE(bare.err.find("usage: qzarchive"), std::string::npos);

    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"frobnicate"}, "unknown command 'frobnicate'; 'qzarchive --help' lists the commands"},
        {{"list"}, "wrong number of arguments; usage: qzarchive list ARCHIVE"},
        {{"cat", "a.qzArchive"}, "wrong number of arguments; usage: qzarchive cat ARCHIVE NAME"},
        {{"create", "a.qzArchive"},
         "wrong number of arguments; usage: qzarchive create ARCHIVE [--format 1|2] [--bzip2] "
         "[--level N] [--threads N] FILE..."},
        {{"list", "--bzip2", "a.qzArchive"}, "unknown option --bzip2 for list"},
        {{"create", "a.qzArchive", "--format", "3", "x"}, "--format must be 1 or 2, not '3'"},
        {{"create", "a.qzArchive", "--format=1", "--bzip2", "x"}, "--bzip2 needs format 2"},
        {{"create", "a.qzArchive", "--level", "high", "x"}, "--level needs a number, not 'high'"},
        {{"create", "a.qzArchive", "x", "--level"}, "--level needs a value"},
        {{"create", "a.qzArchive", "--threads", "0", "x"},
         "--threads needs a number from 1 to 128, not '0'"},
        {{"create", "a.qzArchive", "--threads=many", "x"},
         "--threads needs a number from 1 to 128, not 'many'"},
        {{"create", "a.qzArchive", "--threads", "129", "x"},
         "--threads needs a number from 1 to 128, not '129'"},
        {{"extract", "a.qzArchive", "--overwrite=yes"}, "--overwrite takes no value"},
    };
    for (const auto &c : cases) {
        ToolResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 1) << c.error;
        EXPECT_EQ(result.err, "error: " + c.error + "\n");
        EXPECT_EQ(result.out, "");
    }
    EXPECT_TRUE(filesLeft().empty());
}

TEST_F(QzArchiveTool, CreateListCatAndExtractInEveryLayout) {
    makeTree();
    const struct {
        std::vector<std::string> options;
        std::string formatBytes; // bytes 0 to 5 of the archive
        std::string listing;
    } layouts[] = {
        {{},
         std::string("\x7a\xf4\x31\xb2\x01\x00", 6),
         "666 6 2001-09-09 01:46:40 src/a.txt\n"
         "666 5000 2009-02-13 23:31:30 src/sub/b.bin\n"
         "444 9 1970-01-01 00:00:00 ro.txt\n"},
        {{"--format", "2", "--level", "1"},
         std::string("\xb1\xc6\xf5\x71\x02\x00", 6),
         "100644 6 2001-09-09 01:46:40 src/a.txt\n"
         "100755 5000 2009-02-13 23:31:30 src/sub/b.bin\n"
         "100444 9 1970-01-01 00:00:00 ro.txt\n"},
        {{"--bzip2", "--level=12"},
         std::string("\xb1\xc6\xf5\x71\x02\x10", 6),
         "100644 6 2001-09-09 01:46:40 src/a.txt\n"
         "100755 5000 2009-02-13 23:31:30 src/sub/b.bin\n"
         "100444 9 1970-01-01 00:00:00 ro.txt\n"},
    };
    for (const auto &layout : layouts) {
        SCOPED_TRACE(layout.listing.substr(0, 6));
        std::vector<std::string> arguments = {"create", "a.qzArchive"};
        arguments.insert(arguments.end(), layout.options.begin(), layout.options.end());
        arguments.insert(arguments.end(), {"./src/", "ro.txt"});
        ToolResult created = run(arguments);
        ASSERT_EQ(created.exitCode, 0) << created.err;
        EXPECT_EQ(created.out + created.err, "");
        EXPECT_EQ(readFileBytes(path("a.qzArchive")).substr(0, 6), layout.formatBytes);

        ToolResult listed = run({"list", "a.qzArchive"});
        EXPECT_EQ(listed.exitCode, 0);
        EXPECT_EQ(listed.out, layout.listing);

        ToolResult cat = run({"cat", "a.qzArchive", "src/sub/b.bin"});
        EXPECT_EQ(cat.exitCode, 0);
        EXPECT_TRUE(cat.out == m_noise) << "cat gave " << cat.out.size() << " bytes";

        ToolResult extracted = run({"extract", "a.qzArchive", "-C", "out/here"});
        ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
        EXPECT_EQ(readFileBytes(path("out/here/src/sub/b.bin")), m_noise);
        EXPECT_EQ(readFileBytes(path("out/here/ro.txt")), "read only");
        struct stat info;
        ASSERT_EQ(::stat(path("out/here/src/sub/b.bin").c_str(), &info), 0);
        EXPECT_EQ(info.st_mtime, 1234567890);
        // The tool runs with this process's umask.
        const mode_t mask = ::umask(022);
        ::umask(mask);
        EXPECT_EQ(info.st_mode & 0777, (layout.options.empty() ? 0666u : 0755u) & ~mask);
        ASSERT_EQ(::stat(path("out/here/ro.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0444u & ~mask);
        QDir(m_dir.path() + "/out").removeRecursively();
    }
}

// The thread count changes how the stream is made, not what it holds: every count extracts
// the same tree, and bzip2 archives are the same bytes.
TEST_F(QzArchiveTool, EveryThreadCountWritesTheSameTree) {
    makeTree();
    std::mt19937 random(3);
    std::string text;
    while (text.size() < (3 << 20))
        text += "line " + std::to_string(random() % 5000) + " of the listing\n";
    makeFile("src/big.txt", text, 0644, 1500000000);
    for (const std::string algorithm : {"--format=2", "--bzip2"}) {
        std::string bzip2Archive;
        for (const std::string threads : {"1", "2", "4"}) {
            SCOPED_TRACE(algorithm + " --threads " + threads);
            ToolResult created = run({"create", "a.qzArchive", algorithm, "--level", "1",
                                      "--threads", threads, "src", "ro.txt"});
            ASSERT_EQ(created.exitCode, 0) << created.err;
            ToolResult extracted = run({"extract", "a.qzArchive", "-C", "out"});
            ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
            EXPECT_TRUE(readFileBytes(path("out/src/big.txt")) == text);
            EXPECT_EQ(readFileBytes(path("out/src/sub/b.bin")), m_noise);
            EXPECT_EQ(readFileBytes(path("out/ro.txt")), "read only");
            struct stat info;
            ASSERT_EQ(::stat(path("out/src/big.txt").c_str(), &info), 0);
            EXPECT_EQ(info.st_mtime, 1500000000);
            if (algorithm == "--bzip2") {
                const std::string bytes = readFileBytes(path("a.qzArchive"));
                if (bzip2Archive.empty())
                    bzip2Archive = bytes;
                EXPECT_TRUE(bytes == bzip2Archive) << "the archives differ";
            }
            QDir(m_dir.path() + "/out").removeRecursively();
        }
    }
}

TEST_F(QzArchiveTool, CreateRefusesWhatItCannotStoreAndLeavesNoArchive) {
    makeTree();
    const struct {
        std::string file;
        std::string error;
    } cases[] = {
        {m_root + "/ro.txt", "cannot store " + m_root + "/ro.txt: give a relative path"},
        {"src/../ro.txt", "cannot store src/../ro.txt: \"..\" is not allowed in a name"},
        {"missing.txt", "cannot read missing.txt"},
    };
    for (const auto &c : cases) {
        ToolResult result = run({"create", "a.qzArchive", "src", c.file});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "error: " + c.error + "\n");
        EXPECT_FALSE(exists("a.qzArchive"));
    }
    EXPECT_EQ(filesLeft(), (std::vector<std::string>{"ro.txt", "src/a.txt", "src/sub/b.bin"}));
}

TEST_F(QzArchiveTool, ExtractedModesFollowTheUmask) {
    makeTree();
    for (const std::string format : {"1", "2"}) {
        ASSERT_EQ(run({"create", "a.qzArchive", "--format", format, "src", "ro.txt"}).exitCode, 0);
        ToolResult r = runTool("/bin/sh",
                               {"-c", "umask 027; exec \"$0\" extract a.qzArchive -C out" + format,
                                toolPath("qzarchive")},
                               {}, m_root);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        struct stat info;
        ASSERT_EQ(::stat(path("out" + format + "/src/a.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0640u);
        ASSERT_EQ(::stat(path("out" + format + "/src/sub/b.bin").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, format == "1" ? 0640u : 0750u);
        ASSERT_EQ(::stat(path("out" + format + "/ro.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0440u);
    }
}

TEST_F(QzArchiveTool, CreateRefusesAnArchiveThatWouldHoldItself) {
    makeTree();
    ASSERT_EQ(run({"create", "a.qzArchive", "ro.txt"}).exitCode, 0);
    const std::string before = readFileBytes(path("a.qzArchive"));
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"create", "a.qzArchive", "a.qzArchive"}, "archive a.qzArchive is also an input file"},
        {{"create", "a.qzArchive", "ro.txt", "./a.qzArchive"},
         "archive a.qzArchive is also an input file"},
        {{"create", "src/new.qzArchive", "src"},
         "archive src/new.qzArchive is inside the input directory src"},
        {{"create", "src/sub/new.qzArchive", "ro.txt", "."},
         "archive src/sub/new.qzArchive is inside the input directory ."},
    };
    for (const auto &c : cases) {
        ToolResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "error: " + c.error + "\n");
    }
    EXPECT_EQ(readFileBytes(path("a.qzArchive")), before);
    EXPECT_FALSE(exists("src/new.qzArchive"));
    EXPECT_FALSE(exists("src/sub/new.qzArchive"));
}

TEST_F(QzArchiveTool, CreateStoresOnlyLinksThatStayInsideTheTree) {
    makeTree();
    makeFile("outside/secret", "secret", 0644, 0);
    ASSERT_EQ(::symlink("a.txt", path("src/inside").c_str()), 0);
    ASSERT_EQ(::symlink("../outside/secret", path("src/leak").c_str()), 0);
    ASSERT_EQ(::symlink("../outside", path("src/leakdir").c_str()), 0);
    ASSERT_EQ(::symlink("sub", path("src/subdir").c_str()), 0);
    ASSERT_EQ(::symlink("missing", path("src/dangling").c_str()), 0);
    ToolResult created = run({"create", "a.qzArchive", "src"});
    ASSERT_EQ(created.exitCode, 0) << created.err;
    EXPECT_EQ(created.err, "warning: skipping src/dangling: the link leads nowhere\n"
                           "warning: skipping src/leak: the link leads outside the tree being "
                           "stored\n"
                           "warning: skipping src/leakdir: the link leads outside the tree being "
                           "stored\n");
    ToolResult listed = run({"list", "a.qzArchive"});
    EXPECT_EQ(listed.out, "666 6 2001-09-09 01:46:40 src/a.txt\n"
                          "666 6 2001-09-09 01:46:40 src/inside\n"
                          "666 5000 2009-02-13 23:31:30 src/sub/b.bin\n");
}

TEST_F(QzArchiveTool, ListFailsOnAFullOutputOrACutArchive) {
    makeTree();
    ASSERT_EQ(run({"create", "a.qzArchive", "--format", "2", "src"}).exitCode, 0);
    ToolResult full =
        runTool("/bin/sh", {"-c", "exec \"$0\" list a.qzArchive >/dev/full", toolPath("qzarchive")},
                {}, m_root);
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.err, "error: cannot write to standard output\n");
    const std::string bytes = readFileBytes(path("a.qzArchive"));
    writeFileBytes(path("cut.qzArchive"), bytes.substr(0, bytes.size() / 2));
    ToolResult cut = run({"list", "cut.qzArchive"});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_EQ(cut.err, "error: cannot read file src/sub/b.bin from archive\n");
}

TEST_F(QzArchiveTool, ExtractRefusesNamesThatLeaveTheDestination) {
    PackageArchive archive;
    archive.setVersion(2);
    archive.addData("../escaped.txt", "up");
    archive.addData(m_root + "/absolute.txt", "absolute");
    archive.addData("good/ok.txt", "fine");
    archive.addData("good/../../escaped2.txt", "up again");
    archive.saveArchive(path("evil.qzArchive"));

    ToolResult result = run({"extract", "evil.qzArchive", "-C", "dest"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: refusing to extract \"../escaped.txt\": \"..\" in the path\n"
                          "error: refusing to extract \"" +
                              m_root +
                              "/absolute.txt\": absolute path\n"
                              "error: refusing to extract "
                              "\"good/../../escaped2.txt\": \"..\" in the path\n");
    EXPECT_EQ(filesLeft(), (std::vector<std::string>{"dest/good/ok.txt", "evil.qzArchive"}));
}

TEST_F(QzArchiveTool, ExtractChosenNamesAndOverwriting) {
    makeTree();
    ASSERT_EQ(run({"create", "a.qzArchive", "src", "ro.txt"}).exitCode, 0);

    ToolResult missing = run({"extract", "a.qzArchive", "-C", "out", "src/a.txt", "nope"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "error: cannot find nope in archive\n");
    EXPECT_FALSE(exists("out"));

    ASSERT_EQ(run({"extract", "a.qzArchive", "-C", "out", "src/sub", "ro.txt"}).exitCode, 0);
    EXPECT_TRUE(exists("out/src/sub/b.bin"));
    EXPECT_TRUE(exists("out/ro.txt"));
    EXPECT_FALSE(exists("out/src/a.txt"));

    // out/ro.txt is read-only now: refused without --overwrite, replaced with it.
    writeFileBytes(path("out/ro.txt"), "changed");
    ::chmod(path("out/ro.txt").c_str(), 0444);
    ToolResult again = run({"extract", "a.qzArchive", "-C", "out", "ro.txt"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "error: cannot overwrite file out/ro.txt\n");
    EXPECT_EQ(readFileBytes(path("out/ro.txt")), "changed");
    ToolResult overwritten = run({"extract", "a.qzArchive", "-C", "out", "--overwrite", "ro.txt"});
    EXPECT_EQ(overwritten.exitCode, 0) << overwritten.err;
    EXPECT_EQ(readFileBytes(path("out/ro.txt")), "read only");

    ToolResult cat = run({"cat", "a.qzArchive", "src"});
    EXPECT_EQ(cat.exitCode, 1);
    EXPECT_EQ(cat.err, "error: cannot find src in archive\n");
}

TEST_F(QzArchiveTool, UnreadableArchivesAreReported) {
    writeFileBytes(path("junk.qzArchive"), "this is not an archive");
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"list", "missing.qzArchive"}, "missing.qzArchive does not exist"},
        {{"list", "junk.qzArchive"}, "unsupported package file format"},
        {{"extract", "junk.qzArchive"}, "unsupported package file format"},
        {{"cat", "junk.qzArchive", "x"}, "unsupported package file format"},
    };
    for (const auto &c : cases) {
        ToolResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "error: " + c.error + "\n");
        EXPECT_EQ(result.out, "");
    }
}

// A file-size limit makes every write past it fail, as a full disk would.
TEST_F(QzArchiveTool, FailedWritesLeaveNoPartialFiles) {
    std::mt19937 random(11);
    std::string big(1 << 20, '\0');
    for (char &c : big)
        c = char(random());
    makeFile("big.bin", big, 0644, 1000);
    ASSERT_EQ(run({"create", "big.qzArchive", "big.bin"}).exitCode, 0);
    makeFile("dest/big.bin", "old contents", 0644, 1000);
    auto limited = [this](const std::string &command) {
        return runTool(
            "/bin/sh",
            {"-c", "trap '' XFSZ; ulimit -f 64; exec \"$0\" " + command, toolPath("qzarchive")}, {},
            m_root);
    };

    ToolResult created = limited("create small.qzArchive big.bin");
    EXPECT_EQ(created.exitCode, 1);
    EXPECT_EQ(created.err, "error: error writing to compressed stream\n");
    ToolResult extracted = limited("extract big.qzArchive -C dest --overwrite");
    EXPECT_EQ(extracted.exitCode, 1);
    EXPECT_EQ(extracted.err, "error: cannot write to output file dest/big.bin\n");
    EXPECT_EQ(readFileBytes(path("dest/big.bin")), "old contents");
    EXPECT_EQ(filesLeft(), (std::vector<std::string>{"big.bin", "big.qzArchive", "dest/big.bin"}));
}

} // namespace

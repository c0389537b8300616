// The pieces of dova's run that do not need a whole command: the memory map built from a
// segment list, and what a failed run may remove.

#include "app/toolrun.h"
#include "scratchdirtest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "core/hexception.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(DovaSegmentList, LaterItemsWinAndAppearFirst) {
    EXPECT_EQ(memoryMapFromSegmentList("FLASH 0 1000 RX;RAM 2000 400 RW;FLASH 8000 10 RX"),
              "<!DOCTYPE Board_Memory_Definition_File><Root name=\"none\">"
              "<MemorySegment name=\"FLASH\" start=\"8000\" size=\"10\"access=\"ReadOnly\"/>"
              "<MemorySegment name=\"RAM\" start=\"2000\" size=\"400\"access=\"ReadWrite\"/>"
              "</Root>");
}

TEST(DovaSegmentList, AccessCodesAndMalformedItems) {
    const std::string head = "<!DOCTYPE Board_Memory_Definition_File><Root name=\"none\">";
    EXPECT_EQ(memoryMapFromSegmentList("A 1 2 RWX;B 3 4 R;C 5 6 X;D 7 8"),
              head + "<MemorySegment name=\"C\" start=\"5\" size=\"6\"/>"
                     "<MemorySegment name=\"B\" start=\"3\" size=\"4\"access=\"ReadOnly\"/>"
                     "<MemorySegment name=\"A\" start=\"1\" size=\"2\"access=\"ReadWrite\"/>"
                     "</Root>");
    // Blanks around and between the fields do not count; five fields are as wrong as three.
    EXPECT_EQ(memoryMapFromSegmentList(";;  E   0x10\t0x20  rw ;F 1 2 3 4;"),
              head + "<MemorySegment name=\"E\" start=\"0x10\" size=\"0x20\"/></Root>");
    EXPECT_EQ(memoryMapFromSegmentList(""), head + "</Root>");
    // Markup in a field stays text instead of changing the document.
    EXPECT_EQ(memoryMapFromSegmentList("a\"/><x 1 2 R"),
              head + "<MemorySegment name=\"a&quot;/&gt;&lt;x\" start=\"1\" size=\"2\""
                     "access=\"ReadOnly\"/></Root>");
}

TEST(DovaSegmentList, WarnsAboutItemsWithoutFourFieldsAndRefusesWideValues) {
    std::vector<std::string> warnings;
    auto warn = [&](const std::string &message) { warnings.push_back(message); };
    memoryMapFromSegmentList("A 1 2 RX;B 1 2; ;C 1 2 3 4", warn);
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "ignoring -memory-map-segments item \"C 1 2 3 4\": it needs a name, "
                            "start, size and access",
                            "ignoring -memory-map-segments item \"B 1 2\": it needs a name, "
                            "start, size and access"}));
    EXPECT_NO_THROW(memoryMapFromSegmentList("A 0xffffffff 0xffffffff RX"));
    EXPECT_THROW(memoryMapFromSegmentList("A 0x100000000 1 RX"), HException);
    // An item that a later one of the same name replaces is not looked at.
    EXPECT_NO_THROW(memoryMapFromSegmentList("A 0x100000000 1 RX;A 0 1 RX"));
}

class DovaOutput : public ScratchDirTest {
protected:
    bool exists(const std::string &name) const {
        return QFileInfo::exists(QString::fromStdString(path(name)));
    }
};

TEST_F(DovaOutput, AFailedRunRemovesFilesAndLinksButNeverLinkTargets) {
    write("out.ld", "partial");
    removeFailedOutput(path("out.ld"));
    EXPECT_FALSE(exists("out.ld"));
    removeFailedOutput(path("missing.ld"));

    write("real.ld", "partial");
    ASSERT_TRUE(QFile::link(QString::fromStdString(path("real.ld")),
                            QString::fromStdString(path("link.ld"))));
    removeFailedOutput(path("link.ld"));
    EXPECT_TRUE(exists("real.ld"));
    EXPECT_FALSE(QFileInfo(QString::fromStdString(path("link.ld"))).isSymLink());

    ASSERT_TRUE(QDir(m_dir.path()).mkdir("dir.ld"));
    removeFailedOutput(path("dir.ld"));
    EXPECT_TRUE(exists("dir.ld"));

    write("readonly.ld", "not ours");
    ASSERT_EQ(chmod(path("readonly.ld").c_str(), 0444), 0);
    const bool mayWrite = access(path("readonly.ld").c_str(), W_OK) == 0; // root may
    removeFailedOutput(path("readonly.ld"));
    EXPECT_EQ(exists("readonly.ld"), !mayWrite) << "only a file the run may write is removed";
}

TEST_F(DovaOutput, StreamsAndDevicesAreNeverRemoved) {
    // /proc/self/fd/N leads to a regular file here, as /dev/stdout does when standard output
    // is redirected to one: the file stays.
    write("redirected.txt", "");
    int fd = ::open(path("redirected.txt").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    removeFailedOutput("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);
    EXPECT_TRUE(exists("redirected.txt"));
    removeFailedOutput("/dev/null");
    EXPECT_TRUE(QFileInfo::exists("/dev/null"));
}

TEST_F(DovaOutput, SameFileFollowsLinksAndRelativeNames) {
    write("memory.xml", "x");
    EXPECT_TRUE(isSameFile(path("memory.xml"), path("./memory.xml")));
    EXPECT_FALSE(isSameFile(path("memory.xml"), path("other.xml")));
    EXPECT_FALSE(isSameFile(path("memory.xml"), ""));
    EXPECT_FALSE(isSameFile("", ""));
}

} // namespace

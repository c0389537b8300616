// The serial link over pseudo-terminal pairs: settings as the kernel and stty see them,
// time-outs that wait without spinning, short writes and hang-ups.

#include "core/hexception.h"
#include "crosstool.h"
#include "debug/hseriallink.h"
#include "toolrunner.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

std::uint32_t kernelOutputSpeed(int fd);

namespace {

using Clock = std::chrono::steady_clock;

long elapsedMs(Clock::time_point since) {
    return long(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Processor time of this process so far, in milliseconds.
long cpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1000 + usage.ru_utime.tv_usec / 1000 +
           usage.ru_stime.tv_sec * 1000 + usage.ru_stime.tv_usec / 1000;
}

class PtyPair : public ::testing::Test {
protected:
    void SetUp() override {
        char name[256];
        ASSERT_EQ(::openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
        m_path = name;
        // The link opens its own descriptor; the master is what the "device" end writes.
        ::fcntl(m_master, F_SETFL, O_NONBLOCK);
    }
    void TearDown() override {
        if (m_master >= 0)
            ::close(m_master);
        ::close(m_slave);
    }
    termios attributes(const HSerialLink &link) {
        termios t{};
        EXPECT_EQ(::tcgetattr(link.fileDescriptor(), &t), 0);
        return t;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

TEST(SerialLinkAttributes, CharacterFormatParityStopBitsAndFlowControl) {
    struct Row {
        int dataBits, parity, twoStop, flow;
        tcflag_t size, parityBits, stop;
        bool hardware, software;
    } rows[] = {
        {8, 0, 0, 0, CS8, 0, 0, false, false},
        {7, 1, 0, 0, CS7, PARENB, 0, false, false},
        {6, 2, 1, 1, CS6, PARENB | PARODD, CSTOPB, false, true},
        {5, 0, 1, 2, CS5, 0, CSTOPB, true, false},
        {9, 0, 0, 0, CS8, 0, 0, false, false}, // anything else is 8 bits
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.dataBits);
        // Start from a port that had everything switched on.
        termios t{};
        t.c_iflag = IXON | IXOFF | IXANY | INPCK | ICRNL;
        t.c_cflag = CRTSCTS | HUPCL | CSTOPB | PARENB | PARODD | CS5;
        t.c_lflag = ICANON | ECHO;
        HSerialLink::configure(t, row.dataBits, row.parity, row.twoStop, row.flow);
        EXPECT_EQ(t.c_cflag & CSIZE, row.size);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD), row.parityBits);
        EXPECT_EQ(t.c_cflag & CSTOPB, row.stop);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, row.hardware);
        EXPECT_EQ((t.c_iflag & IXON) != 0, row.software);
        EXPECT_EQ((t.c_iflag & IXOFF) != 0, row.software);
        EXPECT_EQ((t.c_iflag & IXANY) != 0, row.software);
        EXPECT_EQ(t.c_iflag & (INPCK | ICRNL), 0u);
        EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
        EXPECT_EQ(t.c_cflag & HUPCL, 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
    }
}

// A pseudo-terminal keeps stop bits, flow control and raw mode (it forces 8 bits without
// parity, so those are checked above).
TEST_F(PtyPair, OpensRawWithTheRequestedLineSettings) {
    HSerialLink link(m_path, 115200, 8, 0, 1, 2);
    termios t = attributes(link);
    EXPECT_EQ(t.c_cflag & CSTOPB, tcflag_t(CSTOPB));
    EXPECT_EQ(t.c_cflag & CRTSCTS, tcflag_t(CRTSCTS));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    HSerialLink software(m_path, 115200, 8, 0, 0, 1);
    t = attributes(software);
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(IXON | IXOFF | IXANY));
}

TEST_F(PtyPair, StandardRatesUseTheirConstantsOtherRatesTheArbitraryRateCall) {
    {
        HSerialLink link(m_path, 115200, 8, 0, 0, 0);
        termios t = attributes(link);
        EXPECT_EQ(::cfgetospeed(&t), speed_t(B115200));
        EXPECT_EQ(kernelOutputSpeed(link.fileDescriptor()), 115200u);
    }
    {
        // 13 once selected 9600 baud: it was taken for a speed constant.
        HSerialLink link(m_path, 13, 8, 0, 0, 0);
        EXPECT_EQ(kernelOutputSpeed(link.fileDescriptor()), 13u);
    }
    HSerialLink link(m_path, 12345, 8, 0, 0, 0);
    EXPECT_EQ(kernelOutputSpeed(link.fileDescriptor()), 12345u);
    EXPECT_EQ(HSerialLink::speedConstant(12345), 0u);
    EXPECT_EQ(HSerialLink::speedConstant(4000000), std::uint32_t(B4000000));
}

TEST_F(PtyPair, SttyReadsBackTheSettings) {
    REQUIRE_TOOL("stty", "coreutils");
    HSerialLink link(m_path, 57600, 8, 0, 1, 2);
    ToolResult stty =
        runTool(QStandardPaths::findExecutable("stty").toStdString(), {"-F", m_path, "-a"});
    ASSERT_EQ(stty.exitCode, 0) << stty.err;
    for (const char *word : {"speed 57600 baud", " cs8", " cstopb", " crtscts", " -ixon",
                             " -icanon", " -echo", " clocal", " -hupcl"})
        EXPECT_NE(stty.out.find(word), std::string::npos) << word << " in " << stty.out;
}

TEST_F(PtyPair, OpeningFailuresNameTheSystemError) {
    try {
        HSerialLink link("/nonexistent/tty", 9600, 8, 0, 0, 0);
        FAIL() << "opened";
    } catch (const HException &error) {
        EXPECT_STREQ(error.what(), "open error No such file or directory(2)");
    }
    try {
        HSerialLink link("/dev/null", 9600, 8, 0, 0, 0);
        FAIL() << "opened";
    } catch (const HException &error) {
        EXPECT_STREQ(error.what(), "tcgetattr error Inappropriate ioctl for device(25)");
    }
}

TEST_F(PtyPair, ThePortDoesNotLeakIntoChildProcesses) {
    HSerialLink link(m_path, 9600, 8, 0, 0, 0);
    EXPECT_TRUE(::fcntl(link.fileDescriptor(), F_GETFD) & FD_CLOEXEC);
}

TEST_F(PtyPair, ASilentLineTimesOutWithoutBurningTheProcessor) {
    HSerialLink link(m_path, 9600, 8, 0, 0, 0);
    link.setTimeouts(100, 100);
    char buffer[10];
    const long cpuBefore = cpuMs();
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(link.read(buffer, 10), 0);
    const long waited = elapsedMs(start);
    EXPECT_GE(waited, 95);
    EXPECT_LT(waited, 1000);
    // Spinning on the descriptor would use the whole 100 ms.
    EXPECT_LT(cpuMs() - cpuBefore, 20);
}

TEST_F(PtyPair, ReadsCollectBytesUntilCountOrTimeOut) {
    HSerialLink link(m_path, 9600, 8, 0, 0, 0);
    link.setTimeouts(1000, 1000);
    std::thread writer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ASSERT_EQ(::write(m_master, "abc", 3), 3);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ASSERT_EQ(::write(m_master, "defgh", 5), 5);
    });
    char buffer[8];
    EXPECT_EQ(link.read(buffer, 8), 8);
    writer.join();
    EXPECT_EQ(std::string(buffer, 8), "abcdefgh");

    // Fewer bytes than asked: what arrived, after the time-out.
    link.setTimeouts(100, 100);
    ASSERT_EQ(::write(m_master, "xy", 2), 2);
    EXPECT_EQ(link.read(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "xy");
    // A time-out of 0 is a single attempt; a count of 0 reads nothing.
    link.setTimeouts(0, 0);
    ASSERT_EQ(::write(m_master, "z", 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(link.read(buffer, 8), 1);
    EXPECT_EQ(link.read(buffer, 0), 0);
    EXPECT_EQ(link.read(buffer, -1), 0);
}

TEST_F(PtyPair, WritesToAFullLineStopShortAtTheTimeOut) {
    HSerialLink link(m_path, 9600, 8, 0, 0, 0);
    link.setTimeouts(50, 50);
    std::string big(1 << 20, 'x'); // more than a pseudo-terminal buffers
    const Clock::time_point start = Clock::now();
    const std::ptrdiff_t written = link.write(big.data(), std::ptrdiff_t(big.size()));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, std::ptrdiff_t(big.size()));
    EXPECT_LT(elapsedMs(start), 1000);
    EXPECT_GT(link.bytesToWrite() + written, 0);
}

TEST_F(PtyPair, AHangUpEndsAReadAtOnce) {
    HSerialLink link(m_path, 9600, 8, 0, 0, 0);
    link.setTimeouts(2000, 2000);
    ::close(m_master);
    m_master = -1;
    char buffer[4];
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(link.read(buffer, 4), 0);
    EXPECT_LT(elapsedMs(start), 1000);
    EXPECT_EQ(link.hungUp(), 1);
}

TEST_F(PtyPair, QueriesAndFlush) {
    HSerialLink link(m_path, 9600, 8, 0, 0, 0);
    ASSERT_EQ(::write(m_master, "1234", 4), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(link.bytesAvailable(), 4);
    link.flush();
    EXPECT_EQ(link.bytesAvailable(), 0);
    EXPECT_EQ(link.hungUp(), 0);
    // A pseudo-terminal has no modem lines.
    EXPECT_FALSE(link.setDTR(true));
}

TEST(SerialLinkSocat, BytesCrossASocatPair) {
    REQUIRE_TOOL("socat", "socat");
    QTemporaryDir dir;
    const QString a = dir.filePath("a"), b = dir.filePath("b");
    QProcess socat;
    socat.start(QStandardPaths::findExecutable("socat"),
                {"pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b});
    ASSERT_TRUE(socat.waitForStarted(5000));
    const Clock::time_point start = Clock::now();
    while ((!QFile::exists(a) || !QFile::exists(b)) && elapsedMs(start) < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(QFile::exists(a) && QFile::exists(b));
    {
        HSerialLink left(a.toStdString(), 38400, 8, 0, 0, 0);
        HSerialLink right(b.toStdString(), 38400, 8, 0, 0, 0);
        left.setTimeouts(2000, 2000);
        right.setTimeouts(2000, 2000);
        std::string block;
        for (int i = 0; i < 4096; ++i)
            block += char(i * 7);
        EXPECT_EQ(left.write(block.data(), std::ptrdiff_t(block.size())), 4096);
        std::string received(4096, '\0');
        EXPECT_EQ(right.read(received.data(), 4096), 4096);
        EXPECT_TRUE(received == block);
    }
    socat.kill();
    socat.waitForFinished(5000);
}

} // namespace

// qzterm run as a user would, bridging its standard streams to a pseudo-terminal.

#include "toolrunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

class QzTerm : public ::testing::Test {
protected:
    void SetUp() override {
        char name[256];
        ASSERT_EQ(::openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
        m_path = name;
        // The tool must not inherit the device side, or closing it would hang nothing up.
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    }
    void TearDown() override {
        ::close(m_master);
        ::close(m_slave);
    }
    // What reached the device side, waiting up to a second for it.
    std::string deviceReceived(std::size_t expected) {
        std::string received;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (received.size() < expected && std::chrono::steady_clock::now() < deadline) {
            pollfd waiting{m_master, POLLIN, 0};
            if (::poll(&waiting, 1, 100) <= 0)
                continue;
            char buffer[256];
            ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got <= 0)
                break;
            received.append(buffer, std::size_t(got));
        }
        return received;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

TEST_F(QzTerm, BridgesBothWaysUntilTheInputEnds) {
    // The device speaks while the input is still open (the shell holds it for a while).
    std::thread device([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_EQ(::write(m_master, "from device\r\n", 13), 13);
    });
    ToolResult result = runTool("/bin/sh",
                                {"-c", "(printf 'to\\001device'; sleep 1) | " + toolPath("qzterm") +
                                           " " + m_path + " --baud 9600"},
                                {}, {}, 20000);
    device.join();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "from device\r\n");
    EXPECT_EQ(deviceReceived(9), "to\001device");
}

TEST_F(QzTerm, CtrlBracketEndsTheSession) {
    ToolResult result = runTool("qzterm", {m_path},
                                std::string("ab\x1d"
                                            "cd"),
                                {}, 20000);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(deviceReceived(2), "ab");
}

TEST_F(QzTerm, AHangUpFails) {
    std::thread device([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::close(m_master);
        m_master = ::open("/dev/null", O_RDONLY);
    });
    ToolResult result =
        runTool("/bin/sh", {"-c", "sleep 2 | " + toolPath("qzterm") + " " + m_path}, {}, {}, 20000);
    device.join();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: " + m_path + " hung up\n");
}

TEST(QzTermUsage, HelpAndBadSettings) {
    ToolResult help = runTool("qzterm", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: qzterm DEVICE", 0), 0u);
    struct Row {
        std::vector<std::string> arguments;
        const char *error;
    } rows[] = {
        {{}, "error: no device given; see qzterm --help\n"},
        {{"/dev/null", "--parity", "mark"}, "error: invalid parity 'mark' (none, even, odd)\n"},
        {{"/dev/null", "--flow", "dtr"}, "error: invalid flow 'dtr' (none, xonxoff, rtscts)\n"},
        {{"/dev/null", "--stop", "3"}, "error: invalid stop '3' (1, 2)\n"},
        {{"/dev/null", "--data", "9"}, "error: invalid data bits '9' (5 to 8)\n"},
        {{"/dev/null", "--baud", "-5"}, "error: invalid baud rate '-5'\n"},
        {{"/dev/null", "--baud"}, "error: option --baud needs a value\n"},
        {{"/dev/null", "--echo"}, "error: unknown option --echo\n"},
        {{"/dev/null", "/dev/zero"}, "error: unexpected argument '/dev/zero'\n"},
        {{"/nonexistent/tty"}, "error: open error No such file or directory(2)\n"},
        {{"/dev/null"}, "error: tcgetattr error Inappropriate ioctl for device(25)\n"},
    };
    for (const Row &row : rows) {
        ToolResult result = runTool("qzterm", row.arguments, {}, {}, 20000);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, row.error);
    }
}

} // namespace

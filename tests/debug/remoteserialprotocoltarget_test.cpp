// The remote protocol client against the in-test server: negotiation, acknowledgements and
// retransmission, escapes and run-length data, error replies, output, interrupt and exit.

#include "core/hexception.h"
#include "debug/htcplink.h"
#include "debug/remoteserialprotocoltarget.h"
#include "debug/standarddebugger.h"
#include "rspstub.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::unique_ptr<RemoteSerialProtocolTarget> connectTo(RspStub &stub) {
    return std::make_unique<RemoteSerialProtocolTarget>(
        std::make_unique<HTcpLink>("127.0.0.1", stub.port()));
}

std::vector<std::uint8_t> allBytes() {
    std::vector<std::uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i)
        bytes[std::size_t(i)] = std::uint8_t(i);
    return bytes;
}

TEST(RemoteProtocol, NegotiatesPacketSizeAndNoAckMode) {
    RspStub stub({});
    auto target = connectTo(stub);
    EXPECT_EQ(target->packetSize(), 0x200u);
    EXPECT_FALSE(target->acknowledging());
    std::vector<std::string> packets = stub.packets();
    ASSERT_GE(packets.size(), 3u);
    EXPECT_EQ(packets[0].rfind("qSupported", 0), 0u);
    EXPECT_EQ(packets[1], "QStartNoAckMode");
    EXPECT_EQ(packets[2], "vCont?");
    EXPECT_EQ(target->haltReason().code, 5);
}

TEST(RemoteProtocol, AckModeRetransmitsRejectedPacketsAndAsksForCorruptReplies) {
    RspStub::Options options;
    options.offerNoAck = false;
    options.rejectPackets = 2;  // the first two packets are answered "-"
    options.corruptReplies = 2; // and the first two replies arrive with a wrong checksum
    RspStub stub(options);
    stub.addMemory(0x20000000, allBytes());
    auto target = connectTo(stub);
    EXPECT_TRUE(target->acknowledging());
    std::vector<std::uint8_t> bytes(256);
    EXPECT_EQ(target->readMemory(0x20000000, bytes.data(), 256), 256u);
    EXPECT_EQ(bytes, allBytes());
    std::vector<std::string> packets = stub.packets();
    EXPECT_EQ(std::count(packets.begin(), packets.end(), packets[0]), 3);
}

TEST(RemoteProtocol, MemoryWithFramingBytesTravelsEscaped) {
    RspStub stub({});
    stub.addMemory(0x20000000, std::vector<std::uint8_t>(64, 0));
    auto target = connectTo(stub);
    const std::uint8_t special[] = {'$', '#', '}', '*', 0x03, '+', '-', 0};
    EXPECT_EQ(target->writeMemory(0x20000000, special, sizeof special), sizeof special);
    EXPECT_EQ(stub.memory(0x20000000, sizeof special),
              std::vector<std::uint8_t>(special, special + sizeof special));
    std::uint8_t back[sizeof special];
    EXPECT_EQ(target->readMemory(0x20000000, back, sizeof back), sizeof back);
    EXPECT_TRUE(std::equal(back, back + sizeof back, special));
}

TEST(RemoteProtocol, RunLengthRepliesExpand) {
    RspStub::Options options;
    options.runLengthReplies = true;
    RspStub stub(options);
    std::vector<std::uint8_t> memory(200, 0);
    memory[100] = 0x11;
    stub.addMemory(0x20000000, memory);
    auto target = connectTo(stub);
    std::vector<std::uint8_t> bytes(200, 0xee);
    EXPECT_EQ(target->readMemory(0x20000000, bytes.data(), 200), 200u);
    EXPECT_EQ(bytes, memory);
}

TEST(RemoteProtocol, LargeTransfersSplitByPacketSizeAndErrorsStopShort) {
    RspStub::Options options;
    options.packetSize = 0x80;
    RspStub stub(options);
    std::vector<std::uint8_t> memory(1000);
    for (std::size_t i = 0; i < memory.size(); ++i)
        memory[i] = std::uint8_t(i * 13);
    stub.addMemory(0x20000000, memory);
    auto target = connectTo(stub);
    std::vector<std::uint8_t> bytes(1100);
    // The server answers E14 past the end: the client delivers what came before.
    EXPECT_EQ(target->readMemory(0x20000000, bytes.data(), 1100), 1000u);
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), bytes.begin()));
    EXPECT_EQ(target->writeMemory(0x200003f0, bytes.data(), 100), 0u);
    EXPECT_EQ(target->readMemory(0x10000000, bytes.data(), 4), 0u);
    for (const std::string &packet : stub.packets())
        EXPECT_LE(encodeRspPacket(packet).size(), 0x80u) << packet;
}

TEST(RemoteProtocol, RegistersReadWithGAndPAndWriteWithP) {
    RspStub stub({});
    stub.setRegister(15, 0x1234);
    auto target = connectTo(stub);
    std::vector<std::uint64_t> values = target->readRegisters();
    ASSERT_EQ(values.size(), 17u);
    EXPECT_EQ(values[1], 0x1000u);
    EXPECT_EQ(values[15], 0x1234u);
    EXPECT_EQ(values[16], 0x01000000u); // xpsr, asked for with p19
    target->writeRegister(15, 0x2000);
    EXPECT_EQ(stub.registerValue(15), 0x2000u);
    EXPECT_THROW(target->writeRegister(99, 0), HException);
}

TEST(RemoteProtocol, ContinueRunsToABreakpointAndDeliversOutput) {
    RspStub::Options options;
    options.output = "hello\n";
    RspStub stub(options);
    StandardDebugger engine(connectTo(stub));
    EXPECT_TRUE(engine.setBreakpoint(0x1000));
    EXPECT_EQ(stub.breakpoints(), std::set<std::uint32_t>{0x1000});
    StopEvent event = engine.continueFor(2000);
    EXPECT_EQ(event.kind, StopEvent::Signal);
    EXPECT_EQ(event.code, 5);
    EXPECT_EQ(event.output, "hello\n");
    EXPECT_FALSE(event.interrupted);
    std::uint64_t pc = 0;
    EXPECT_TRUE(engine.getRegister("pc", pc));
    EXPECT_EQ(pc, 0x1000u);
    // Continuing from the breakpoint first steps off it with the breakpoint taken out.
    const std::size_t before = stub.packetCount();
    EXPECT_EQ(engine.continueFor(2000).code, 5);
    std::vector<std::string> packets = stub.packets();
    packets.erase(packets.begin(), packets.begin() + long(before));
    const std::vector<std::string> expected = {"z0,1000,2", "vCont;s", "Z0,1000,2", "vCont;c"};
    auto at = std::search(packets.begin(), packets.end(), expected.begin(), expected.end());
    EXPECT_NE(at, packets.end());
    EXPECT_TRUE(engine.clearBreakpoint(0x1000));
    EXPECT_TRUE(stub.breakpoints().empty());
    engine.step();
    EXPECT_TRUE(engine.getRegister("pc", pc));
    EXPECT_EQ(pc, 0x1002u);
}

TEST(RemoteProtocol, ARunningTargetIsInterruptedAtTheTimeOut) {
    RspStub stub({});
    StandardDebugger engine(connectTo(stub));
    StopEvent event = engine.continueFor(300);
    EXPECT_TRUE(event.interrupted);
    EXPECT_EQ(event.code, 2);
    EXPECT_FALSE(engine.isRunning());
    bool asked = false;
    event = engine.continueFor(0, [&] { return asked = true; });
    EXPECT_TRUE(asked);
    EXPECT_TRUE(event.interrupted);
}

TEST(RemoteProtocol, AnExitEndsTheSession) {
    RspStub::Options options;
    options.exitStatus = 3;
    RspStub stub(options);
    auto target = connectTo(stub);
    StopEvent event = target->resume(false, 2000);
    EXPECT_EQ(event.kind, StopEvent::Exited);
    EXPECT_EQ(event.code, 3);
    EXPECT_THROW(target->readRegisters(), HException);
}

TEST(RemoteProtocol, DetachAndKillEndTheSession) {
    RspStub stub({});
    {
        // The server takes one client at a time: this one goes before the next comes.
        auto detached = connectTo(stub);
        detached->detach();
        EXPECT_EQ(stub.packets().back(), "D");
        EXPECT_THROW(detached->readRegisters(), HException);
        detached->detach(); // once only
        EXPECT_EQ(stub.packets().back(), "D");
    }
    auto killed = connectTo(stub);
    killed->kill();
    EXPECT_THROW(killed->haltReason(), HException);
}

TEST(RemoteProtocol, ARepeatedReadWhileHaltedSendsNoPacket) {
    RspStub stub({});
    stub.addMemory(0x20000000, std::vector<std::uint8_t>(8192, 0x5a));
    StandardDebugger engine(connectTo(stub));
    std::vector<std::uint8_t> bytes(4096);
    ASSERT_EQ(engine.readMemory(0, 0x20000000, bytes.size(), bytes.data()), bytes.size());
    const std::size_t packets = stub.packetCount();
    ASSERT_EQ(engine.readMemory(0, 0x20000000, bytes.size(), bytes.data()), bytes.size());
    ASSERT_EQ(engine.readMemory(0, 0x20000800, 16, bytes.data()), 16u);
    EXPECT_EQ(stub.packetCount(), packets);
    engine.step(); // the target moved: memory is read again
    ASSERT_EQ(engine.readMemory(0, 0x20000000, 16, bytes.data()), 16u);
    EXPECT_GT(stub.packetCount(), packets + 1);
}

TEST(RemoteProtocol, ASilentOrMissingServerFailsWithAMessage) {
    std::uint16_t port;
    {
        RspStub stub({});
        port = stub.port();
    }
    try {
        HTcpLink link("127.0.0.1", port);
        FAIL() << "connected";
    } catch (const HException &error) {
        EXPECT_EQ(std::string(error.what()),
                  "cannot connect to 127.0.0.1:" + std::to_string(port) + ": Connection refused");
    }
}

TEST(RemoteProtocol, AClosedConnectionEndsAReadAtOnce) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length), 0);
    std::thread server([listener] {
        int peer = ::accept(listener, nullptr, nullptr);
        if (peer >= 0) {
            const char reply[] = "ab";
            (void)::write(peer, reply, 2);
            ::close(peer);
        }
    });
    HTcpLink link("127.0.0.1", ntohs(address.sin_port));
    server.join();
    ::close(listener);
    link.setTimeouts(5000, 5000);
    char buffer[10];
    const auto start = std::chrono::steady_clock::now();
    // The peer's end of stream is no reason to wait (or spin) for the rest of the time-out.
    EXPECT_EQ(link.read(buffer, sizeof buffer), 2);
    EXPECT_EQ(link.read(buffer, sizeof buffer), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(link.hungUp(), 1);
}

} // namespace

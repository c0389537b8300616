#include "qemugdbserver.h"

#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

QemuGdbServer::~QemuGdbServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void QemuGdbServer::start(const std::string &elf) {
    // A port that was free a moment ago; QEMU failing to bind it shows as a start failure.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    m_port = probe.serverPort();
    probe.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStandardPaths::findExecutable("qemu-system-arm"),
                    {"-M", "lm3s6965evb", "-nographic", "-monitor", "none", "-serial", "null", "-S",
                     "-gdb", QString("tcp:127.0.0.1:%1").arg(m_port), "-kernel",
                     QString::fromStdString(elf)});
    ASSERT_TRUE(m_process.waitForStarted(10000));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(m_process.state(), QProcess::Running) << m_process.readAll().toStdString();
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(200)) {
            socket.disconnectFromHost();
            // QEMU takes one client at a time; let it see this one go.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FAIL() << "QEMU's GDB server does not listen";
}

#pragma once

#include <QProcess>

#include <string>

// QEMU's Cortex-M3 board running a firmware image, halted at reset behind its GDB server on a
// free local port; killed when this goes.
class QemuGdbServer {
public:
    ~QemuGdbServer();

    // Fails the running test (fatally) when QEMU does not start or its server never listens.
    void start(const std::string &elf);
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

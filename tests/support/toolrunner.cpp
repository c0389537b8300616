#include "toolrunner.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

std::string toolPath(const std::string &program) {
    if (!program.empty() && program.front() == '/')
        return program;
    return std::string(PALINDOR_BIN_DIR) + "/" + program;
}

ToolResult runTool(const std::string &program, const std::vector<std::string> &arguments,
                   const std::string &input, const std::string &workingDirectory, int timeoutMs) {
    QStringList args;
    for (const std::string &argument : arguments)
        args << QString::fromStdString(argument);
    QProcess process;
    if (!workingDirectory.empty())
        process.setWorkingDirectory(QString::fromStdString(workingDirectory));
    process.start(QString::fromStdString(toolPath(program)), args);
    ToolResult result;
    if (!process.waitForStarted()) {
        ADD_FAILURE() << "cannot start " << toolPath(program);
        return result;
    }
    process.write(input.data(), qint64(input.size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program << " did not finish within " << timeoutMs << " ms";
    }
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}

#pragma once

#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1; // -1 when the program crashed or did not start
    std::string out;
    std::string err;
};

// Runs a built tool (a name below the build's bin directory, or an absolute path) as a user
// would: with the given arguments, standard input and working directory (empty: the
// current one). Fails the test when the program does not finish within `timeoutMs`.
ToolResult runTool(const std::string &program, const std::vector<std::string> &arguments,
                   const std::string &input = {}, const std::string &workingDirectory = {},
                   int timeoutMs = 60000);

// The absolute path of a built tool.
std::string toolPath(const std::string &program);

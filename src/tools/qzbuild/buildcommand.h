#pragma once

#include <string>
#include <vector>

// qzbuild SOLUTION -config NAME [-project NAME] [MODE] [OPTIONS]: the command line that names
// a solution (build, clean, up-to-date question, make file or compile commands export).
// Returns the exit status.
int runBuildCommand(const std::vector<std::string> &arguments, const char *argv0);
// Whether `word` is one of the options of that command line.
bool isBuildOption(const std::string &word);

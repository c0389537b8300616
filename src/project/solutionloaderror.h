#pragma once

#include <stdexcept>
#include <string>

// Why a solution could not be loaded; the message names the file and is shown as it stands.
class SolutionLoadError : public std::runtime_error {
public:
    explicit SolutionLoadError(const std::string &message) : std::runtime_error(message) {}
};

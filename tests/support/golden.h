#pragma once

#include <string>

// Compares generated text with the golden file at `path` (absolute, or relative to the test
// data directory). On a mismatch the test fails with a unified diff. With UPDATE_GOLDEN=1 in
// the environment the golden file is rewritten instead: read the new text before committing.
void expectMatchesGolden(const std::string &actual, const std::string &path);

// The whole content of a file (binary), or a test failure when it cannot be read.
std::string readFileBytes(const std::string &path);

// Writes bytes to a file, creating its directory.
void writeFileBytes(const std::string &path, const std::string &bytes);

// The absolute path of a fixture below tests/data.
std::string testDataPath(const std::string &relative);

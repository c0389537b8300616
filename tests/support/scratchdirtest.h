#pragma once

#include "golden.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

// A test with a scratch directory of its own, removed afterwards.
class ScratchDirTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const {
        return m_dir.path().toStdString() + "/" + name;
    }
    // Writes a file in the scratch directory and returns its path.
    std::string write(const std::string &name, const std::string &content) {
        writeFileBytes(path(name), content);
        return path(name);
    }

    QTemporaryDir m_dir;
};

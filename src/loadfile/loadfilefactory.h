#pragma once

#include <memory>
#include <string>

class LoadFileInterface;

// Makes load files by kind: "bin", "ihex", "hex" (a listing), "tihex" or "srec".
class LoadFileFactory {
public:
    virtual ~LoadFileFactory() = default;

    // Reads and parses the file; format errors are thrown. An unknown or null kind gives null.
    virtual std::unique_ptr<LoadFileInterface> create(const std::string &path, const char *kind);
    // Releases a load file made by create; null is ignored.
    virtual void destroy(std::unique_ptr<LoadFileInterface> loadFile);
    // The kind a file name's ending stands for, or null.
    virtual const char *kindForFileName(const std::string &name) const;
};

#pragma once

#include "project/standardprojectsystem.h"

// The project system of solutions built with the GNU toolchain the built-in driver runs:
// objects, executables and libraries are named ".o", ".elf" and ".a".
class GnuProjectSystem : public StandardProjectSystem {
public:
    using StandardProjectSystem::StandardProjectSystem;
    std::string defaultExtension(FileExtension extension) const override;
};

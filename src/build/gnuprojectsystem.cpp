#include "build/gnuprojectsystem.h"

std::string GnuProjectSystem::defaultExtension(FileExtension extension) const {
    switch (extension) {
    case FileExtension::Object:
        return ".o";
    case FileExtension::Executable:
        return ".elf";
    case FileExtension::Library:
        return ".a";
    }
    return {};
}

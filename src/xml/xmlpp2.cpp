#include "xml/xmlpp2.h"

#include <cstdio>

void XMLPP2::reportWarning(const std::string &message) {
    std::fprintf(stderr, "warning: %s\n", message.c_str());
}

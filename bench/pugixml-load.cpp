// pugixml-load FILE: loads the file with pugixml and exits, the whole-process peer of dova in
// bench/dova.sh. Exit status 1 when the file does not parse.
#include <pugixml.hpp>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fputs("usage: pugixml-load FILE\n", stderr);
        return 2;
    }
    pugi::xml_document document;
    pugi::xml_parse_result result = document.load_file(argv[1]);
    if (!result) {
        std::fprintf(stderr, "pugixml-load: %s: %s\n", argv[1], result.description());
        return 1;
    }
    return 0;
}

// Writes the property list bytes to a file, for the Windows resource script.
#include <cstdio>
#include <fstream>

#include "resources/PropertyList.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FILE\n", argv[0]);
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(maculo::kPropertyList.data()),
              static_cast<std::streamsize>(maculo::kPropertyList.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}

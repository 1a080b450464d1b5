// Writes a generated Pascal unit of the given size in MB to standard output.
#include "LargeUnit.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 8;
    if (megabytes <= 0 || megabytes > 1024) {
        std::fprintf(stderr, "usage: make-large-unit [MB, 1 to 1024]\n");
        return 2;
    }
    const std::string unit = kestrel::MakeLargeUnit(static_cast<size_t>(megabytes) << 20);
    return std::fwrite(unit.data(), 1, unit.size(), stdout) == unit.size() ? 0 : 1;
}

// Saves a file carefully, for a test that ends it by a signal part way:
//   save-until-killed FILE SIZE JOURNAL-FOLDER
// writes SIZE bytes of 'n' to FILE and says "saving" on standard output just
// before it starts. The signal's default action ends the process wherever it
// stands, as the workbench's own handler does once its time runs out.
#include "CarefulSave.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: save-until-killed FILE SIZE JOURNAL-FOLDER\n", stderr);
        return 2;
    }
    const std::string bytes(std::strtoull(argv[2], nullptr, 10), 'n');
    std::puts("saving");
    std::fflush(stdout);
    const kestrel::FileStatus result = workbench::SaveCarefully(argv[1], bytes, argv[3]);
    if (!result) {
        std::fprintf(stderr, "%s\n", result.Message().c_str());
        return 1;
    }
    return 0;
}

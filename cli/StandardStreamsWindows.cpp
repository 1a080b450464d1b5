#include "StandardStreams.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <io.h>
#include <windows.h>

namespace kestrel {

void PrepareStandardStreams() {
    // Binary mode: the rows go out byte for byte as on Linux, with no '\r'
    // put before each '\n', and a source read from standard input keeps its
    // line ends.
    for (FILE* stream : {stdin, stdout, stderr}) {
        ::_setmode(::_fileno(stream), _O_BINARY);
    }
    // A console shows the UTF-8 the lister writes (names, messages) as
    // text, not as the bytes of the console's own code page. The console
    // outlives the lister: its code page is put back at exit.
    static const UINT before = ::GetConsoleOutputCP();
    if (before != 0 && before != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
        std::atexit([] { ::SetConsoleOutputCP(before); });
    }
}

} // namespace kestrel

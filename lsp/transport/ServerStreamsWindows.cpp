#include "transport/ServerStreams.h"

#include <cstdio>
#include <fcntl.h>
#include <initializer_list>
#include <io.h>
#include <windows.h>

namespace kestrel::lsp {

void PrepareServerStreams() {
    for (FILE* stream : {stdin, stdout, stderr}) {
        ::_setmode(::_fileno(stream), _O_BINARY);
    }
}

size_t ReadInput(char* buffer, size_t size) {
    // Straight from the handle: the C runtime's read would stop at a ^Z
    // from a console and knows nothing of a pipe's writer having gone.
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD read = 0;
    const DWORD wanted = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    if (!::ReadFile(input, buffer, wanted, &read, nullptr)) {
        return 0; // ERROR_BROKEN_PIPE: the client closed its end
    }
    return read;
}

bool MoreInputWaiting() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD available = 0;
    return ::GetFileType(input) == FILE_TYPE_PIPE &&
           ::PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) && available > 0;
}

} // namespace kestrel::lsp

#pragma once

#include <cstddef>

namespace kestrel::lsp {

// The server's standard input and output, where Linux and Windows differ.

// Sets the streams up before the first message: bytes pass unchanged both
// ways (Windows would otherwise add a '\r' before each '\n' of a header),
// and a client that goes away makes writes fail instead of ending the
// server.
void PrepareServerStreams();

// Reads what standard input has, waiting for some; 0 at its end or on an
// error.
size_t ReadInput(char* buffer, size_t size);

// Whether more input can be read at once, without waiting.
bool MoreInputWaiting();

} // namespace kestrel::lsp

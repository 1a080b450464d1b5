#pragma once

#include <string_view>
#include <sys/types.h>

namespace kestrel {

// Writes every byte of `bytes` to `fd`, going on after a short write and
// after an interruption by a signal (EINTR). False, with errno set, when a
// write fails. Calls nothing but write(2), so a signal handler may use it.
bool WriteAll(int fd, std::string_view bytes);

#ifndef _WIN32
// The same at file offset `at`, with pwrite(2): the descriptor's own offset
// stays where it was.
bool WriteAllAt(int fd, std::string_view bytes, off_t at);
#endif

} // namespace kestrel

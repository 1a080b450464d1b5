#pragma once

namespace kestrel {

// Sets standard input, output and error up for the lister, before anything
// is read or written: on Linux a reader that goes away ends the lister
// quietly by SIGPIPE; on Windows the streams pass bytes unchanged and a
// console shows UTF-8.
void PrepareStandardStreams();

} // namespace kestrel

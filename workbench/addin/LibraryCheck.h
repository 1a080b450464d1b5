#pragma once

#include <QString>

namespace workbench {

// Checks an add-in library before the dynamic loader sees it: a regular
// file, an ELF shared object for this process's architecture, and long
// enough for every segment its program headers map (a truncated library
// would otherwise fault inside the loader). Empty when it may be loaded,
// else why not.
QString CheckLibrary(const QString& path);

} // namespace workbench

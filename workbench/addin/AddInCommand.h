#pragma once

#include <functional>

namespace workbench {

class OpenDocuments;

// Runs an add-in's command over the open documents. Should the add-in's code
// crash, what it wrote and what was typed is ready for the crash handler; an
// exception that leaves the command is shown and the workbench goes on.
void RunAddInCommand(OpenDocuments& documents, const std::function<void()>& command);

} // namespace workbench

#include "index/WorkspaceWalk.h"

#include "FolderWalk.h"

namespace kestrel::lsp {

void WalkSourceTree(const std::string& root, const SourceTreeVisitor& visit,
                    const std::atomic<bool>& stop) {
    FolderWalk walk;
    walk.Start(root);
    FolderWalk::Step step;
    while (!stop && walk.Next(step)) {
        switch (step.kind) {
        case FolderWalk::Step::File:
            visit.file(step.path);
            break;
        case FolderWalk::Step::Folder:
            visit.folder(step.path);
            break;
        case FolderWalk::Step::Error:
            visit.error(step.path, step.error);
            break;
        }
    }
}

} // namespace kestrel::lsp

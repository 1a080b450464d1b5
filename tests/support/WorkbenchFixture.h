#pragma once

// Helpers for tests that drive the workbench: files in a temporary folder,
// host objects obtained through the services, and answers to modal boxes.

#include "HostRef.h"
#include "HostString.h"
#include "MainWindow.h"
#include "ModalAnswer.h"
#include "TestFiles.h"

namespace testing {

// Everything the host's reader serves for `path`, read one byte at a time.
inline QByteArray ReadThroughHost(kestrel::TIToolServices* services, const QString& path) {
    using namespace kestrel;
    const QByteArray name = path.toUtf8();
    HostRef<TIModuleInterface> module(services->GetModuleInterface(name.constData()));
    if (!module) {
        return {};
    }
    HostRef<TIEditorInterface> editor(module->GetEditorInterface());
    HostRef<TIEditReader> reader(editor->CreateReader());
    QByteArray bytes;
    char c = 0;
    for (int32_t i = 0; reader->GetText(i, &c, 1) == 1; ++i) {
        bytes.append(c);
    }
    return bytes;
}

} // namespace testing

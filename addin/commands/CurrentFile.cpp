#include "CurrentFile.h"

#include "HostString.h"
#include "MessageBoxes.h"

#include <algorithm>

namespace kestrel {

std::optional<std::string> AcceptCurrentFile(TIToolServices* services) {
    const std::string name = HostString(services->GetCurrentFile()).Str();
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    if (upper.find(".DFM") != std::string::npos) {
        ShowMessage(QStringLiteral("A Pascal source file (.PAS) must be opened."));
        return std::nullopt;
    }
    if (!services->IsFileOpen(name.c_str()) && !services->OpenFile(name.c_str())) {
        ShowError(QStringLiteral("Could not open %1").arg(QString::fromUtf8(name)));
        return std::nullopt;
    }
    return name;
}

} // namespace kestrel

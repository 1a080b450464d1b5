#pragma once

#include <QFont>

namespace kestrel {

// The add-in's window font: MS Sans Serif where it exists, else the
// family of `base`, at a character height of `pixelSize` pixels.
inline QFont WindowFont(int pixelSize, const QFont& base) {
    QFont font = base;
    font.setFamilies({QStringLiteral("MS Sans Serif"), base.family()});
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace kestrel

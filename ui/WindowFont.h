#pragma once

#include <QFont>

namespace kestrel {

// The add-in's window font: MS Sans Serif where it exists, at a character
// height of `pixelSize` pixels. The windows are laid out for its narrow
// letters; Arial and its metric twin Liberation Sans come closest, and only
// where none of them exists does the family of `base` stand in.
inline QFont WindowFont(int pixelSize, const QFont& base) {
    QFont font = base;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), base.family()});
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace kestrel

#include "TextWidths.h"

#include <QHash>
#include <cmath>
#include <limits>
#include <memory>

namespace kestrel {

namespace {

constexpr qreal kUnknown = std::numeric_limits<qreal>::quiet_NaN();

// Printable Latin-1 characters other than the soft hyphen, which a
// layout may hide.
bool Simple(char16_t c) {
    return (c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff && c != 0xad);
}

} // namespace

TextWidths::TextWidths(const QFont& font)
    : metrics_(font), kernings_(256 * 256, std::numeric_limits<float>::quiet_NaN()) {
    advances_.fill(kUnknown);
}

qreal TextWidths::Advance(char16_t c) {
    qreal& advance = advances_[c];
    if (std::isnan(advance)) {
        advance = metrics_.horizontalAdvance(QString(QChar(c)));
    }
    return advance;
}

qreal TextWidths::Kerning(char16_t left, char16_t right) {
    float& kerning = kernings_[static_cast<size_t>(left) * 256 + right];
    if (std::isnan(kerning)) {
        const QChar pair[] = {QChar(left), QChar(right)};
        kerning = static_cast<float>(metrics_.horizontalAdvance(QString(pair, 2)) -
                                     Advance(left) - Advance(right));
    }
    return kerning;
}

int TextWidths::Width(QStringView text) {
    qreal width = 0;
    char16_t previous = 0;
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (!Simple(c)) {
            return static_cast<int>(std::ceil(metrics_.horizontalAdvance(text.toString())));
        }
        width += Advance(c);
        if (previous != 0) {
            width += Kerning(previous, c);
        }
        previous = c;
    }
    return static_cast<int>(std::ceil(width));
}

TextWidths& TextWidths::For(const QFont& font) {
    static QHash<QString, std::shared_ptr<TextWidths>> measurers;
    std::shared_ptr<TextWidths>& measurer = measurers[font.key()];
    if (!measurer) {
        measurer = std::make_shared<TextWidths>(font);
    }
    return *measurer;
}

} // namespace kestrel

#include "TextWidths.h"

#include <QHash>
#include <cmath>
#include <limits>
#include <memory>

namespace kestrel {

namespace {

constexpr float kUnknown = std::numeric_limits<float>::quiet_NaN();

// Printable Latin-1 characters other than the soft hyphen, which a
// layout may hide.
bool Simple(char16_t c) {
    return (c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff && c != 0xad);
}

} // namespace

TextWidths::TextWidths(const QFont& font)
    : metrics_(font),
      summable_((font.styleStrategy() & QFont::PreferNoShaping) != 0), characters_{0}, advances_{0},
      kernings_(256 * 256, kUnknown) {}

int TextWidths::Slot(char16_t c) {
    uint8_t& slot = slots_[c];
    if (slot == 0) {
        // Latin-1 has fewer printable characters than a byte has values.
        slot = static_cast<uint8_t>(characters_.size());
        characters_.push_back(c);
        advances_.push_back(static_cast<float>(metrics_.horizontalAdvance(QString(QChar(c)))));
    }
    return slot;
}

float TextWidths::Kerning(int left, int right) {
    float& kerning = kernings_[static_cast<size_t>(left) * 256 + static_cast<size_t>(right)];
    if (std::isnan(kerning)) {
        const QChar pair[] = {QChar(characters_[static_cast<size_t>(left)]),
                              QChar(characters_[static_cast<size_t>(right)])};
        kerning = static_cast<float>(metrics_.horizontalAdvance(QString(pair, 2))) -
                  advances_[static_cast<size_t>(left)] - advances_[static_cast<size_t>(right)];
    }
    return kerning;
}

int TextWidths::Width(QStringView text) {
    float width = 0;
    size_t previous = 0;
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (!summable_ || !Simple(c)) {
            return static_cast<int>(std::ceil(metrics_.horizontalAdvance(text.toString())));
        }
        const size_t slot = slots_[c] != 0 ? slots_[c] : static_cast<size_t>(Slot(c));
        width += advances_[slot];
        if (previous != 0) {
            const float kerning = kernings_[previous * 256 + slot];
            width += std::isnan(kerning)
                         ? Kerning(static_cast<int>(previous), static_cast<int>(slot))
                         : kerning;
        }
        previous = slot;
    }
    // Sums of many small fractions drift; a hundredth of a pixel is not a
    // pixel more.
    return static_cast<int>(std::ceil(width - 0.01f));
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

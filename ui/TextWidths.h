#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QStringView>
#include <array>
#include <vector>

namespace kestrel {

// The widths of many texts in one font, as QFontMetrics::horizontalAdvance
// gives them, at a small part of its cost. Each character's advance and each
// pair of neighbours' adjustment (kerning) is measured once and kept; a
// text's width is their sum. A text with a character outside Latin-1's
// printable ones (other scripts, combining marks, controls) is measured
// whole, as no sum of parts is sure to give its width.
class TextWidths {
public:
    explicit TextWidths(const QFont& font);

    // The width of `text`, never less than horizontalAdvance() gives.
    int Width(QStringView text);

    // The measurer of `font`, shared by the whole program, so that what it
    // has measured serves every window.
    static TextWidths& For(const QFont& font);

private:
    qreal Advance(char16_t c);
    qreal Kerning(char16_t left, char16_t right);

    QFontMetricsF metrics_;
    std::array<qreal, 256> advances_;
    std::vector<float> kernings_; // by left * 256 + right; NaN until measured
};

} // namespace kestrel

#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QStringView>
#include <array>
#include <cstdint>
#include <vector>

namespace kestrel {

// The widths of many texts in one font, as QFontMetrics::horizontalAdvance
// gives them, at a small part of its cost. In a font laid out without
// shaping (QFont::PreferNoShaping: no ligatures) each character's advance
// and each pair of neighbours' adjustment (kerning) is measured once and
// kept, and a text's width is their sum. Texts of other fonts, and texts
// with a character outside Latin-1's printable ones (other scripts,
// combining marks, controls), are measured whole: no sum of parts is sure
// to give their width.
class TextWidths {
public:
    explicit TextWidths(const QFont& font);

    // The width of `text`, never less than horizontalAdvance() gives.
    int Width(QStringView text);

    // The measurer of `font`, shared by the whole program, so that what it
    // has measured serves every window.
    static TextWidths& For(const QFont& font);

private:
    // The characters seen so far get small numbers, in the order seen, so
    // that the kerning of the few that occur stays in a small, dense table.
    int Slot(char16_t c);
    float Kerning(int left, int right);

    QFontMetricsF metrics_;
    bool summable_;                    // laid out letter by letter
    std::array<uint8_t, 256> slots_{}; // 0 until the character is seen
    std::vector<char16_t> characters_; // by slot
    std::vector<float> advances_;      // by slot
    std::vector<float> kernings_;      // by left slot * 256 + right slot; NaN until measured
};

} // namespace kestrel

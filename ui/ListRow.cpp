#include "ListRow.h"

#include <QByteArray>
#include <cstring>

namespace kestrel {

ListRow ListRow::FromUtf8(std::string_view caption, std::string_view name,
                          std::string_view className, std::string_view details, int imageIndex,
                          int32_t line) {
    ListRow row;
    row.Fill({caption, name, className, details});
    row.imageIndex = imageIndex;
    row.line = line;
    return row;
}

ListRow::ListRow(const QString& caption, const QString& name, const QString& className,
                 const QString& details, int imageIndex, int32_t line)
    : imageIndex(imageIndex), line(line) {
    const std::array<QByteArray, kTexts> utf8 = {caption.toUtf8(), name.toUtf8(),
                                                 className.toUtf8(), details.toUtf8()};
    std::array<std::string_view, kTexts> texts;
    for (int i = 0; i < kTexts; ++i) {
        texts[i] = std::string_view(utf8[i].constData(), static_cast<size_t>(utf8[i].size()));
    }
    Fill(texts);
}

ListRow::ListRow(const ListRow& other)
    : imageIndex(other.imageIndex), line(other.line), measuredBy(other.measuredBy),
      widths(other.widths), ends_(other.ends_) {
    if (other.texts_) {
        texts_ = std::make_unique_for_overwrite<char[]>(ends_.back());
        std::memcpy(texts_.get(), other.texts_.get(), ends_.back());
    }
}

ListRow& ListRow::operator=(const ListRow& other) {
    if (this != &other) {
        *this = ListRow(other);
    }
    return *this;
}

void ListRow::Fill(const std::array<std::string_view, kTexts>& texts) {
    size_t total = 0;
    for (int i = 0; i < kTexts; ++i) {
        total += texts[i].size();
        ends_[i] = static_cast<uint32_t>(total);
    }
    texts_.reset();
    if (total == 0) {
        return;
    }
    texts_ = std::make_unique_for_overwrite<char[]>(total);
    char* at = texts_.get();
    for (const std::string_view text : texts) {
        if (!text.empty()) { // an empty view may have no data at all
            std::memcpy(at, text.data(), text.size());
            at += text.size();
        }
    }
}

std::string_view ListRow::Utf8(int column) const {
    if (column < 0 || column >= kTexts || !texts_) {
        return {};
    }
    const uint32_t begin = column == 0 ? 0 : ends_[column - 1];
    return {texts_.get() + begin, ends_[column] - begin};
}

QString ListRow::Text(int column) const {
    const std::string_view text = Utf8(column);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace kestrel

#include "SymbolListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace kestrel {

namespace {

const char* const kHeaders[] = {"Line", "Name", "Class", "Details"};

} // namespace

SymbolListModel::SymbolListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (const CategoryInfo& info : kFilterCategories) {
        icons_[info.category] = QIcon(info.glyph);
    }
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    blank_ = QIcon(blank);
}

int SymbolListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shownRows_);
}

int SymbolListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant SymbolListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= shownRows_) {
        return {};
    }
    const ListRow& row = rows_[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        return row.Text(index.column());
    }
    if (role == Qt::DecorationRole && index.column() == 0) {
        // Rows without an image keep its place, so the captions line up.
        return row.imageIndex >= 0 && row.imageIndex < kCategoryCount ? icons_[row.imageIndex]
                                                                      : blank_;
    }
    return {};
}

QVariant SymbolListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4) {
        return QString::fromLatin1(kHeaders[section]);
    }
    return {};
}

void SymbolListModel::BeginUpdate() {
    ++updateDepth_;
}

void SymbolListModel::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0) {
        return;
    }
    ShowPending();
    emit UpdateEnded();
}

void SymbolListModel::ShowPending() {
    if (rows_.size() > shownRows_) {
        beginInsertRows({}, static_cast<int>(shownRows_), static_cast<int>(rows_.size()) - 1);
        shownRows_ = rows_.size();
        endInsertRows();
    }
}

void SymbolListModel::Append(ListRow row) {
    rows_.push_back(std::move(row));
    if (updateDepth_ == 0) {
        beginInsertRows({}, static_cast<int>(shownRows_), static_cast<int>(shownRows_));
        shownRows_ = rows_.size();
        endInsertRows();
    }
}

std::vector<ListRow> SymbolListModel::TakeRows(int imageIndex) {
    std::vector<ListRow> taken;
    std::vector<ListRow> kept;
    kept.reserve(rows_.size());
    for (ListRow& row : rows_) {
        (row.imageIndex == imageIndex ? taken : kept).push_back(std::move(row));
    }
    if (taken.empty()) {
        rows_ = std::move(kept);
        return taken;
    }
    beginResetModel();
    rows_ = std::move(kept);
    shownRows_ = rows_.size();
    endResetModel();
    return taken;
}

void SymbolListModel::Reorder(const std::vector<int>& order) {
    ShowPending();
    std::vector<ListRow> sorted;
    sorted.reserve(rows_.size());
    for (const int index : order) {
        sorted.push_back(std::move(rows_[static_cast<size_t>(index)]));
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    rows_ = std::move(sorted);
    // The selection and current row follow their rows to the new places.
    std::vector<int> newPlace(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newPlace[static_cast<size_t>(order[i])] = static_cast<int>(i);
    }
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after << this->index(newPlace[static_cast<size_t>(index.row())], index.column());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::array<int, 4> SymbolListModel::FittingWidths(TextWidths& measure) const {
    std::array<int, 4> widest{};
    for (int column = 0; column < 4; ++column) {
        widest[column] = measure.Width(QString::fromLatin1(kHeaders[column]));
    }
    for (const ListRow& row : rows_) {
        if (row.measuredBy != &measure) {
            for (int column = 0; column < 4; ++column) {
                row.widths[column] = measure.Width(row.Text(column));
            }
            row.measuredBy = &measure;
        }
        for (int column = 0; column < 4; ++column) {
            widest[column] = std::max(widest[column], row.widths[column]);
        }
    }
    return widest;
}

SymbolListView::SymbolListView(QWidget* parent)
    : QTreeView(parent), model_(new SymbolListModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    LetterByLetter();
    // Black text; the selection stays as visible when the list loses the
    // focus.
    QPalette p = palette();
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    connect(model_, &SymbolListModel::UpdateEnded, this, &SymbolListView::FitColumns);
}

int SymbolListView::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void SymbolListView::SelectRow(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = model_->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
}

std::vector<ListRow> SymbolListView::TakeRows(int imageIndex) {
    // Lines are unique among the rows, so the selection is found again by
    // its line after the model has been rebuilt.
    const int selected = SelectedRow();
    const int32_t line = selected >= 0 ? model_->Row(selected).line : 0;
    std::vector<ListRow> taken = model_->TakeRows(imageIndex);
    if (selected >= 0 && !selectionModel()->hasSelection()) {
        for (int row = 0; row < model_->Count(); ++row) {
            if (model_->Row(row).line == line) {
                SelectRow(row);
                break;
            }
        }
    }
    return taken;
}

void SymbolListView::FitColumns() {
    // A list never shown (the parking list) needs no fitting.
    if (isHidden()) {
        return;
    }
    const std::array<int, 4> widest = model_->FittingWidths(TextWidths::For(font()));
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
    for (int column = 0; column < 4; ++column) {
        const int icon = column == 0 ? iconSize().width() + 6 : 0;
        header()->resizeSection(column, widest[column] + padding + icon);
    }
}

void SymbolListView::LetterByLetter() {
    // Source texts are shown letter by letter, as an editor shows code; their
    // widths then add up, which keeps fitting the columns fast.
    if ((font().styleStrategy() & QFont::PreferNoShaping) == 0) {
        QFont letterByLetter = font();
        letterByLetter.setStyleStrategy(QFont::PreferNoShaping);
        setFont(letterByLetter);
    }
}

void SymbolListView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        LetterByLetter();
    }
    QTreeView::changeEvent(event);
}

void SymbolListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit RowDoubleClicked();
    }
}

} // namespace kestrel

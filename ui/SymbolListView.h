#pragma once

#include "ListRow.h"
#include "TextWidths.h"

#include <QAbstractTableModel>
#include <QTreeView>
#include <functional>
#include <vector>

namespace kestrel {

// The rows of one list, with the batch update of a report-view list: rows
// appended inside BeginUpdate/EndUpdate reach the view at once, when the
// outermost EndUpdate runs, and the columns are fitted then.
class SymbolListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit SymbolListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void BeginUpdate();
    void EndUpdate();

    int Count() const { return static_cast<int>(rows_.size()); }
    const ListRow& Row(int index) const { return rows_[static_cast<size_t>(index)]; }
    void Append(ListRow row);
    // Removes and returns, in order, every row whose image index is
    // `imageIndex`.
    std::vector<ListRow> TakeRows(int imageIndex);
    // Puts the rows in the order of `order` (a permutation of row indexes).
    void Reorder(const std::vector<int>& order);

    // For each column, the width of its widest text, header included.
    std::array<int, 4> FittingWidths(TextWidths& measure) const;

signals:
    // The outermost batch update ended.
    void UpdateEnded();

private:
    // Lets the view know of rows appended during a batch update.
    void ShowPending();

    std::vector<ListRow> rows_;
    size_t shownRows_ = 0; // rows the view knows of; the rest wait for EndUpdate
    int updateDepth_ = 0;
    QIcon icons_[kCategoryCount];
    QIcon blank_;
};

// The report-view list: four columns, single selection kept visible without
// focus, category icons.
class SymbolListView : public QTreeView {
    Q_OBJECT

public:
    explicit SymbolListView(QWidget* parent = nullptr);

    SymbolListModel* Rows() const { return model_; }
    void BeginUpdate() { model_->BeginUpdate(); }
    void EndUpdate() { model_->EndUpdate(); }
    // The selected row, or -1.
    int SelectedRow() const;
    void SelectRow(int row);
    // Removes and returns the rows of one category; a selected row of
    // another category stays selected.
    std::vector<ListRow> TakeRows(int imageIndex);
    // Sizes each column to its widest text.
    void FitColumns();

signals:
    void RowDoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void LetterByLetter();

    SymbolListModel* model_;
};

// A batch update of one list, held for as long as the guard lives.
class ListUpdate {
public:
    explicit ListUpdate(SymbolListView* list) : list_(list) { list_->BeginUpdate(); }
    ~ListUpdate() { list_->EndUpdate(); }
    ListUpdate(const ListUpdate&) = delete;
    ListUpdate& operator=(const ListUpdate&) = delete;

private:
    SymbolListView* list_;
};

} // namespace kestrel

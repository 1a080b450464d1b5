#include "ColumnSort.h"

#include "SymbolListView.h"

#include <QCollator>
#include <QHeaderView>
#include <algorithm>
#include <numeric>

namespace kestrel {

int SortColumn = 0;
bool SortAscending = true;

QString AsciiUpper(const QString& text) {
    QString upper = text;
    for (QChar& c : upper) {
        if (c >= u'a' && c <= u'z') {
            c = QChar(c.unicode() - u'a' + u'A');
        }
    }
    return upper;
}

int CompareRows(const ListRow& a, const ListRow& b, const QCollator& collator) {
    int r = 0;
    if (SortColumn == 0) {
        // By number, so line 100000 follows line 99999.
        r = a.line < b.line ? -1 : a.line > b.line ? 1 : 0;
    } else {
        r = collator.compare(AsciiUpper(a.SubItem(SortColumn - 1)),
                             AsciiUpper(b.SubItem(SortColumn - 1)));
    }
    return SortAscending ? r : -r;
}

void SortByColumn(SymbolListView* list, int column) {
    SortAscending = column == SortColumn ? !SortAscending : true;
    SortColumn = column;

    // The same order CompareRows gives, reached with one sort key per row
    // rather than two upper-cased copies per comparison.
    SymbolListModel* rows = list->Rows();
    std::vector<int> order(static_cast<size_t>(rows->Count()));
    std::iota(order.begin(), order.end(), 0);
    if (SortColumn == 0) {
        std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
            const int32_t a = rows->Row(x).line;
            const int32_t b = rows->Row(y).line;
            return SortAscending ? a < b : b < a;
        });
    } else {
        const QCollator collator{QLocale()};
        std::vector<QCollatorSortKey> keys;
        keys.reserve(order.size());
        for (int i = 0; i < rows->Count(); ++i) {
            keys.push_back(collator.sortKey(AsciiUpper(rows->Row(i).SubItem(SortColumn - 1))));
        }
        std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
            const int r = keys[static_cast<size_t>(x)].compare(keys[static_cast<size_t>(y)]);
            return SortAscending ? r < 0 : r > 0;
        });
    }
    rows->Reorder(order);
    list->header()->setSortIndicator(SortColumn,
                                     SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

} // namespace kestrel

#pragma once

#include "FramePlacement.h"
#include "ScanRows.h"
#include "SymbolListView.h"

#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include <array>
#include <string>
#include <utility>
#include <vector>

namespace kestrel {

// Set when GO has taken a line; cleared each time the symbol list window
// becomes active. Program-wide, as the design keeps it, not a window's
// member; the window is modal, so only one ever uses it at a time.
extern bool LineChosen;

// The symbol list window: the rows of one file, filtered by category and
// sorted by column; its modal result is the chosen line, or -1.
class TfrmProc : public QDialog {
    Q_OBJECT

public:
    explicit TfrmProc(QWidget* owner = nullptr);

    // Scans `source` (anything ScanRows reads) into the lists in one batch
    // update, with the keywords of cboReserved.
    template <class Source> void LoadSource(Source&& source) {
        ListUpdate parked(lstProc);
        ListUpdate shown(lstShowLine);
        ScanRowViews(std::forward<Source>(source), Keywords(), Headings::Classic,
                     [this](const SymbolRowView& row) { AddRow(row); });
    }

    // Appends one row to lstShowLine when its category is shown, else to
    // lstProc.
    void AddRow(const SymbolRow& row);
    void AddRow(const SymbolRowView& row);

    // The first words that make a line a row: the items of cboReserved.
    const std::vector<std::string>& Keywords();

    // The window's outer rectangle, frame included, in screen coordinates.
    // Before the first showing it is the rectangle last set.
    QRect OuterBounds() const;
    void SetOuterBounds(const QRect& bounds);

    QFrame* Panel2;
    QLabel* Label1;
    QToolButton* btnD;
    QToolButton* btnP;
    QToolButton* btnF;
    QToolButton* btnB;
    QToolButton* btnGo;
    QToolButton* btnAbort;
    QToolButton* btnAbout;
    QComboBox* cboReserved;
    SymbolListView* lstShowLine;
    SymbolListView* lstProc;

    void done(int result) override;

public slots:
    // The click of any of the four filter buttons, `sender`, which has
    // already flipped: the handler the buttons share keeps the name of the
    // first, as the design names it.
    void btnDClick(QToolButton* sender);
    void btnGoClick();
    void btnAbortClick();
    void btnAboutClick();
    void lstShowLineChange();
    void lstShowLineColumnClick(int column);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void FormActivate();
    void GoLine();
    QToolButton* FilterButton(int tag) const;
    void AddRow(std::string_view caption, std::string_view name, std::string_view className,
                std::string_view details, SymbolCategory category, int32_t line);

    std::array<QToolButton*, kCategoryCount> filterButtons_{};
    QRect wantedBounds_; // the outer bounds last set
    FramePlacement* placement_;
    std::vector<std::string> keywords_;
    bool keywordsStale_ = true;
};

// The tag of a filter button: the category it shows or hides.
int Tag(const QToolButton* button);

} // namespace kestrel

#include "ProcList.h"

#include "About.h"
#include "ColumnSort.h"
#include "TextEncoding.h"
#include "WindowFont.h"
#include "WindowSettings.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>

static void InitKestrelResources() {
    Q_INIT_RESOURCE(kestrel_ui);
}

namespace kestrel {

bool LineChosen = false;

namespace {

QToolButton* SpeedButton(QWidget* parent, const char* name, int x, const QIcon& icon,
                         const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setGeometry(x, 3, 20, 20);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setToolTip(hint);
    // Speed buttons never take the keyboard focus: it stays in the list.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QIcon TwoStateIcon(const char* normal, const char* disabled) {
    QIcon icon;
    icon.addPixmap(QPixmap(normal), QIcon::Normal);
    icon.addPixmap(QPixmap(disabled), QIcon::Disabled);
    return icon;
}

// Texts of the source are shown as UTF-8 where they are valid UTF-8, else as
// Windows-1252: the host hands over bytes without saying which. Gives the
// text in UTF-8: `bytes` themselves, or `decoded` filled.
std::string_view Display(std::string_view bytes, std::string& decoded) {
    // Most source text is ASCII, which reads the same either way.
    if (std::all_of(bytes.begin(), bytes.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return bytes;
    }
    decoded = ToUtf8(bytes, DetectEncoding(bytes));
    return decoded;
}

} // namespace

int Tag(const QToolButton* button) {
    return button->property("Tag").toInt();
}

TfrmProc::TfrmProc(QWidget* owner) : QDialog(owner) {
    InitKestrelResources();
    setObjectName("frmProc");
    setWindowTitle("Brenta Kestrel");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(WindowFont(10, font()));
    placement_ = new FramePlacement(this, [this](const QMargins& frame) {
        // A size below the window's minimum grows to it here rather than
        // in the window system, which would move the window to make room.
        const QSize least = minimumSizeHint().expandedTo(QSize(1, 1));
        move(wantedBounds_.topLeft());
        resize(qMax(least.width(), wantedBounds_.width() - frame.left() - frame.right()),
               qMax(least.height(), wantedBounds_.height() - frame.top() - frame.bottom()));
    });
    SetOuterBounds(QRect(29, 77, 606, 350));

    Panel2 = new QFrame(this);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedHeight(26);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    // A filter button that is down looks pressed in.
    Panel2->setStyleSheet(QStringLiteral(
        "QToolButton:checked { background-color: palette(mid); border: 1px solid palette(dark);"
        " border-radius: 2px; }"));

    Label1 = new QLabel("Show", Panel2);
    Label1->setObjectName("Label1");
    Label1->move(11, 7);
    Label1->adjustSize();

    for (const CategoryInfo& info : kFilterCategories) {
        const int tag = info.category;
        QToolButton* button =
            SpeedButton(Panel2, info.button, 50 + 20 * tag, QIcon(info.glyph), info.displayName);
        // Each button toggles alone: it may be up or down whatever the
        // others are.
        button->setCheckable(true);
        button->setProperty("Tag", tag);
        connect(button, &QToolButton::clicked, this, [this, button] { btnDClick(button); });
        filterButtons_[tag] = button;
    }
    btnD = filterButtons_[catDeclaration];
    btnP = filterButtons_[catProcedure];
    btnF = filterButtons_[catFunction];
    btnB = filterButtons_[catBookmark];

    btnGo = SpeedButton(Panel2, "btnGo", 168, TwoStateIcon(":/kestrel/go", ":/kestrel/go-disabled"),
                        "GO !");
    connect(btnGo, &QToolButton::clicked, this, &TfrmProc::btnGoClick);
    btnAbort = SpeedButton(Panel2, "btnAbort", 194, QIcon(":/kestrel/abort"), QString());
    connect(btnAbort, &QToolButton::clicked, this, &TfrmProc::btnAbortClick);
    btnAbout = SpeedButton(Panel2, "btnAbout", 219,
                           TwoStateIcon(":/kestrel/about", ":/kestrel/about-disabled"), "About");
    connect(btnAbout, &QToolButton::clicked, this, &TfrmProc::btnAboutClick);

    cboReserved = new QComboBox(Panel2);
    cboReserved->setObjectName("cboReserved");
    cboReserved->setEditable(true);
    cboReserved->setGeometry(341, 2, 131, 22);
    for (const std::string& word : ReservedWords()) {
        cboReserved->addItem(QString::fromStdString(word));
    }
    cboReserved->setEditText("cboReserved");
    cboReserved->setVisible(false);
    // The keyword list is read for every line; it is converted again only
    // when its items change.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(cboReserved->model(), signal, this, [this] { keywordsStale_ = true; });
    }
    connect(cboReserved->model(), &QAbstractItemModel::dataChanged, this,
            [this] { keywordsStale_ = true; });
    connect(cboReserved->model(), &QAbstractItemModel::modelReset, this,
            [this] { keywordsStale_ = true; });

    lstShowLine = new SymbolListView(this);
    lstShowLine->setObjectName("lstShowLine");
    lstShowLine->setFont(WindowFont(12, font()));
    lstProc = new SymbolListView(this);
    lstProc->setObjectName("lstProc");
    connect(lstShowLine, &SymbolListView::RowDoubleClicked, this, &TfrmProc::btnGoClick);
    connect(lstShowLine->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmProc::lstShowLineChange);
    connect(lstShowLine->Rows(), &QAbstractItemModel::modelReset, this,
            &TfrmProc::lstShowLineChange);
    connect(lstShowLine->header(), &QHeaderView::sectionClicked, this,
            &TfrmProc::lstShowLineColumnClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2);
    layout->addWidget(lstShowLine);

    FormCreate();
}

void TfrmProc::FormCreate() {
    RestoreWindowSettings(*this);
    btnGo->setEnabled(false);
    lstProc->setVisible(false);
    lstShowLine->setVisible(true);
    lstShowLine->setFocus(Qt::OtherFocusReason);
    SortColumn = 0;
    SortAscending = true;
    lstShowLine->header()->setSortIndicator(0, Qt::AscendingOrder);
    lstShowLine->header()->setSortIndicatorShown(true);
}

QRect TfrmProc::OuterBounds() const {
    return isVisible() ? frameGeometry() : wantedBounds_;
}

void TfrmProc::SetOuterBounds(const QRect& bounds) {
    // The window system places the frame at the position given but takes
    // the size for the client area's, so the frame's size comes off it.
    wantedBounds_ = bounds;
    placement_->Apply();
}

const std::vector<std::string>& TfrmProc::Keywords() {
    if (keywordsStale_) {
        keywords_.clear();
        for (int i = 0; i < cboReserved->count(); ++i) {
            keywords_.push_back(cboReserved->itemText(i).toStdString());
        }
        keywordsStale_ = false;
    }
    return keywords_;
}

QToolButton* TfrmProc::FilterButton(int tag) const {
    return tag >= 0 && tag < kCategoryCount ? filterButtons_[tag] : nullptr;
}

void TfrmProc::AddRow(const SymbolRow& row) {
    AddRow(row.caption, row.name, row.className, row.details, row.category, row.line);
}

void TfrmProc::AddRow(const SymbolRowView& row) {
    AddRow(FormatLineCaption(row.line), row.name, row.className, row.details, row.category,
           row.line);
}

void TfrmProc::AddRow(std::string_view caption, std::string_view name, std::string_view className,
                      std::string_view details, SymbolCategory category, int32_t line) {
    std::string decoded[3];
    ListRow listRow =
        ListRow::FromUtf8(caption, Display(name, decoded[0]), Display(className, decoded[1]),
                          Display(details, decoded[2]), category, line);
    const bool shown = category == catHeader || FilterButton(category)->isChecked();
    (shown ? lstShowLine : lstProc)->Rows()->Append(std::move(listRow));
}

void TfrmProc::btnDClick(QToolButton* sender) {
    const int tag = Tag(sender);
    {
        ListUpdate parked(lstProc);
        ListUpdate shown(lstShowLine);
        if (sender->isChecked()) {
            // Show: the parked rows of this category join the visible list, in
            // their order, and the list is sorted again as the user last chose.
            for (ListRow& row : lstProc->TakeRows(tag)) {
                lstShowLine->Rows()->Append(std::move(row));
            }
            SortAscending = !SortAscending;
            SortByColumn(lstShowLine, SortColumn);
        } else {
            for (ListRow& row : lstShowLine->TakeRows(tag)) {
                lstProc->Rows()->Append(std::move(row));
            }
        }
    }
    lstShowLineChange();
}

void TfrmProc::btnGoClick() {
    GoLine();
}

void TfrmProc::GoLine() {
    const int row = lstShowLine->SelectedRow();
    if (row < 0) {
        return;
    }
    // The whole number is read back, so lines past 99999 come back whole.
    bool ok = false;
    const int line = lstShowLine->Rows()->Row(row).Caption().toInt(&ok);
    if (!ok || line <= 0) {
        return;
    }
    LineChosen = true;
    done(line);
}

void TfrmProc::btnAbortClick() {
    done(-1);
}

void TfrmProc::btnAboutClick() {
    TfrmAbout about(this);
    about.exec();
}

void TfrmProc::lstShowLineChange() {
    btnGo->setEnabled(lstShowLine->SelectedRow() >= 0);
}

void TfrmProc::lstShowLineColumnClick(int column) {
    SortByColumn(lstShowLine, column);
}

void TfrmProc::done(int result) {
    // FormClose: the settings are saved on every close, and only a chosen
    // line comes back as a line.
    SaveWindowSettings(*this);
    QDialog::done(LineChosen ? result : -1);
}

void TfrmProc::FormActivate() {
    LineChosen = false;
}

bool TfrmProc::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        FormActivate();
    }
    return QDialog::event(event);
}

void TfrmProc::showEvent(QShowEvent* event) {
    // A window that the window system never activates must not inherit a
    // choice made in an earlier one.
    if (!event->spontaneous()) {
        FormActivate();
    }
    QDialog::showEvent(event);
}

void TfrmProc::keyPressEvent(QKeyEvent* event) {
    // A line comes back only from GO or a double-click, and the window has
    // no cancel button: Escape and Enter neither choose nor close.
    const int key = event->key();
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kestrel

#include "About.h"

#include "CursorTable.h"
#include "FramePlacement.h"
#include "WindowFont.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <qdrawutil.h>

namespace kestrel {

namespace {

// A panel with a lowered outer bevel and a raised inner one, each a pixel
// wide, in the dialog's colours.
class BevelPanel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
        qDrawShadePanel(&painter, rect().adjusted(1, 1, -1, -1), palette(), false, 1);
    }
};

QLabel* Label(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* owner) : QDialog(owner) {
    setObjectName("frmAbout");
    setWindowTitle("About");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(WindowFont(11, font()));
    setFixedSize(298, 293);

    auto* panel = new BevelPanel(this);
    panel->setObjectName("Panel1");
    panel->setGeometry(8, 6, 281, 280);
    panel->setContentsMargins(2, 2, 2, 2);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setGeometry(8, 8, 65, 57);
    ProgramIcon->setPixmap(QPixmap(":/kestrel/program"));
    ProgramIcon->setScaledContents(true);

    ProductName = Label(panel, "ProductName", "Brenta Kestrel for Delphi", 88, 16);
    Version = Label(panel, "Version", "Version 1.02", 89, 35);
    Comments = Label(panel, "Comments", "Symbols and bookmarks", 89, 54);

    auto* feedback = new QFrame(panel);
    feedback->setGeometry(7, 98, 264, 52);
    feedback->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label9 = Label(feedback, "Label9", "Please, send your suggestions and feedback to ", 6, 20);
    Label10 = Label(feedback, "Label10", "Brenta: ", 6, 36);
    lblEMail = Label(feedback, "lblEMail", "kestrel@brenta.example", 93, 36);
    QFont linkFont = WindowFont(12, font());
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    lblEMail->setFont(linkFont);
    QPalette linkPalette = lblEMail->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    lblEMail->setPalette(linkPalette);
    lblEMail->adjustSize();
    lblEMail->setCursor(Qt::UpArrowCursor);
    lblEMail->installEventFilter(this);

    btnOK = new QPushButton(QIcon(":/kestrel/ok"), "OK", panel);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry(205, 248, 61, 24);
    btnOK->setDefault(true);
    btnOK->setAutoDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();

    // Centred on the screen with its frame, as the user sees it.
    auto* placement = new FramePlacement(this, [this](const QMargins& frame) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect outer(QPoint(), size().grownBy(frame));
            outer.moveCenter(screen->availableGeometry().center());
            move(outer.topLeft());
        }
    });
    placement->Apply();
}

void TfrmAbout::FormCreate() {
    // The hand is installed again at every creation, replacing whatever
    // cursor sits under its number.
    const QPixmap hand(":/kestrel/HAND16");
    InstallCursor(kHandCursor, QCursor(hand, 5, 0));
    lblEMail->setCursor(InstalledCursor(kHandCursor));
}

void TfrmAbout::lblEMailClick() {
    // The target is the label's text exactly as it stands; whether a mail
    // program opens is up to the desktop.
    QDesktopServices::openUrl(
        QUrl(QStringLiteral("mailto:") + lblEMail->text(), QUrl::TolerantMode));
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    // A click is a press and a release over the address; a release
    // elsewhere, after the pointer has left the address, does nothing.
    if (watched == lblEMail && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            lblEMail->rect().contains(mouse->position().toPoint())) {
            lblEMailClick();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
    // There is no cancel button, so Escape does not close the dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kestrel

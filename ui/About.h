#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace kestrel {

// The About dialog: product name, version and a feedback mail link.
class TfrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* owner = nullptr);

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Comments;
    QLabel* Label9;
    QLabel* Label10;
    QLabel* lblEMail;
    QPushButton* btnOK;

    // The cursor number the mail link shows.
    static constexpr int kHandCursor = 5;

public slots:
    void lblEMailClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
};

} // namespace kestrel

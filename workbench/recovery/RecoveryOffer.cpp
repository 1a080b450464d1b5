#include "RecoveryOffer.h"

#include "SaveJournal.h"
#include "SaveJournalFolder.h"

#include <QFile>
#include <QMessageBox>
#include <QPushButton>

namespace workbench {

namespace {

// Completes the in-place saves that a crash cut short, and says what became
// of each.
void FinishSaves(QWidget* parent) {
    const std::vector<InterruptedSave> saves =
        FinishInterruptedSaves(QFile::encodeName(SaveJournalFolder()).toStdString());
    if (saves.empty()) {
        return;
    }
    QStringList lines;
    for (const InterruptedSave& save : saves) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(save.path));
        const QString detail = QString::fromLocal8Bit(save.detail.c_str());
        switch (save.outcome) {
        case InterruptedSave::Outcome::Finished:
            lines << QObject::tr("%1: the save was finished; the file holds what was saved.")
                         .arg(path);
            break;
        case InterruptedSave::Outcome::Undone:
            lines << QObject::tr("%1: the save could not be finished (%2); the file holds "
                                 "its old contents again.")
                         .arg(path, detail);
            break;
        case InterruptedSave::Outcome::LeftAlone:
            lines << QObject::tr("%1: left as it is, since %2.").arg(path, detail);
            break;
        case InterruptedSave::Outcome::Failed:
            lines << QObject::tr("%1: could not be repaired: %2.").arg(path, detail);
            break;
        }
    }
    QMessageBox::warning(
        parent, QObject::tr("Interrupted save"),
        QObject::tr("The workbench ended while saving in place:\n\n%1").arg(lines.join('\n')));
}

} // namespace

void OfferRecovery(QWidget* parent, RecoveryStore& store, const OpenRecoveredText& open) {
    FinishSaves(parent);
    const QList<RecoveryStore::Copy> copies = store.ClaimLeftBehind();
    if (copies.isEmpty()) {
        store.DiscardClaimed(); // sessions that had nothing left to recover
        return;
    }
    QStringList lines;
    for (const RecoveryStore::Copy& copy : copies) {
        lines << QObject::tr("%1 (changed %2)")
                     .arg(copy.path, QLocale().toString(copy.written, QLocale::ShortFormat));
    }
    QMessageBox box(QMessageBox::Question, QObject::tr("Recover unsaved changes"),
                    QObject::tr("The workbench ended without saving changes to:\n\n%1\n\n"
                                "Recover them? They open as unsaved changes; save them to keep "
                                "them.")
                        .arg(lines.join('\n')),
                    QMessageBox::Yes | QMessageBox::Discard | QMessageBox::Ignore, parent);
    box.button(QMessageBox::Yes)->setText(QObject::tr("&Recover"));
    box.button(QMessageBox::Ignore)->setText(QObject::tr("&Later"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Ignore);
    switch (box.exec()) {
    case QMessageBox::Yes: {
        bool all = true;
        for (const RecoveryStore::Copy& copy : copies) {
            FileStamp base;
            base.exists = copy.hasBase;
            base.contents = copy.base;
            all = open(copy.path, copy.bytes, base) && all;
        }
        // The recovered documents have copies of their own now; a copy
        // whose file was open already is kept for another time.
        if (all) {
            store.DiscardClaimed();
        } else {
            store.ReleaseClaimed();
        }
        break;
    }
    case QMessageBox::Discard:
        store.DiscardClaimed();
        break;
    default:
        store.ReleaseClaimed();
        break;
    }
}

} // namespace workbench

#include "RecoveryOffer.h"

#include "OpenDocuments.h"
#include "RecoveryStore.h"

#include <QMessageBox>
#include <QPushButton>

namespace workbench {

void OfferRecovery(OpenDocuments& documents) {
    RecoveryStore& store = documents.Recovery();
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
                    QMessageBox::Yes | QMessageBox::Discard | QMessageBox::Ignore,
                    documents.Owner());
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
            all = documents.OpenRecovered(copy.path, copy.bytes, base) != nullptr && all;
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

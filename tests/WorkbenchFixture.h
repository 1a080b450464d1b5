#pragma once

// Helpers for tests that drive the workbench: files in a temporary folder,
// host objects obtained through the services, and answers to modal boxes.

#include "HostRef.h"
#include "HostString.h"
#include "MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

namespace testing {

inline QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return {};
    }
    return path;
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything the host's reader serves for `path`, read one byte at a time.
inline QByteArray ReadThroughHost(kestrel::TIToolServices* services, const QString& path) {
    using namespace kestrel;
    const QByteArray name = path.toUtf8();
    HostRef<TIModuleInterface> module(services->GetModuleInterface(name.constData()));
    if (!module) {
        return {};
    }
    HostRef<TIEditorInterface> editor(module->GetEditorInterface());
    HostRef<TIEditReader> reader(editor->CreateReader());
    QByteArray bytes;
    char c = 0;
    for (int32_t i = 0; reader->GetText(i, &c, 1) == 1; ++i) {
        bytes.append(c);
    }
    return bytes;
}

// Answers the next modal message box with `button`, and records its text.
class MessageBoxAnswer : public QObject {
public:
    explicit MessageBoxAnswer(QMessageBox::StandardButton button) : button_(button) {
        QTimer::singleShot(0, this, [this] { Poll(); });
    }
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool answered = false;

private:
    void Poll() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            answered = true;
            if (QAbstractButton* button = box->button(button_)) {
                button->click();
            } else {
                box->done(button_);
            }
            return;
        }
        if (++polls_ < 500) {
            QTimer::singleShot(10, this, [this] { Poll(); });
        }
    }
    QMessageBox::StandardButton button_;
    int polls_ = 0;
};

} // namespace testing

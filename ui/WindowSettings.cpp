#include "WindowSettings.h"

#include "ProcList.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <memory>

namespace kestrel {

namespace {

// The settings accessor, opened when a window is created and used again
// when it closes.
std::unique_ptr<QSettings>& Accessor() {
    static std::unique_ptr<QSettings> accessor;
    return accessor;
}

// A window creation opens a new accessor; its close uses the same one
// again (or a new one, should the first have failed).
QSettings& OpenAccessor(bool fresh) {
    std::unique_ptr<QSettings>& accessor = Accessor();
    if (fresh || !accessor) {
        accessor = std::make_unique<QSettings>(QStringLiteral("Brenta"), QStringLiteral("Kestrel"));
    }
    accessor->sync(); // see what other runs stored meanwhile
    return *accessor;
}

bool ReadInteger(QSettings& settings, const char* name, int& value) {
    const QVariant stored = settings.value(QLatin1String(name));
    if (!stored.isValid()) {
        return false;
    }
    bool ok = false;
    value = stored.toInt(&ok);
    return ok;
}

// The window system's coordinates are 16-bit: a position beyond them
// cannot be reached, and a larger window cannot be made.
constexpr int kFarthest = 32767;

// The rectangle that holds every screen; a window larger than it shows
// nothing more, and its memory grows with its area.
QSize DesktopSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize desktop = screen != nullptr ? screen->virtualGeometry().size() : QSize();
    return desktop.isEmpty() ? QSize(kFarthest, kFarthest)
                             : desktop.boundedTo(QSize(kFarthest, kFarthest));
}

bool ReadPosition(QSettings& settings, const char* name, int& value) {
    return ReadInteger(settings, name, value) && value >= -kFarthest && value <= kFarthest;
}

// A size must be positive and fit the desktop; a size below the window's
// minimum is taken and grows to it when the window is placed.
bool ReadSize(QSettings& settings, const char* name, int limit, int& value) {
    return ReadInteger(settings, name, value) && value > 0 && value <= limit;
}

// Creates the settings file, empty, when it is missing, so that it exists
// from the window's first creation on. A failure shows only at the save.
void CreateStore(const QSettings& settings) {
    const QFileInfo store(settings.fileName());
    if (!store.exists() && QDir().mkpath(store.absolutePath())) {
        QFile(store.absoluteFilePath()).open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
}

} // namespace

void RestoreWindowSettings(TfrmProc& form) {
    QSettings& settings = OpenAccessor(true);
    CreateStore(settings);
    int value = 0;
    // Each bound is applied as soon as it is read, keeping the other three.
    if (ReadPosition(settings, "Top", value)) {
        QRect r = form.OuterBounds();
        form.SetOuterBounds(QRect(r.left(), value, r.width(), r.height()));
    }
    if (ReadPosition(settings, "Left", value)) {
        QRect r = form.OuterBounds();
        form.SetOuterBounds(QRect(value, r.top(), r.width(), r.height()));
    }
    const QSize desktop = DesktopSize();
    if (ReadSize(settings, "Width", desktop.width(), value)) {
        QRect r = form.OuterBounds();
        form.SetOuterBounds(QRect(r.left(), r.top(), value, r.height()));
    }
    if (ReadSize(settings, "Height", desktop.height(), value)) {
        QRect r = form.OuterBounds();
        form.SetOuterBounds(QRect(r.left(), r.top(), r.width(), value));
    }
    // Setting a button's state this way raises no click, so no rows move.
    const std::pair<const char*, QToolButton*> buttons[] = {
        {"D", form.btnD}, {"P", form.btnP}, {"F", form.btnF}, {"B", form.btnB}};
    for (const auto& [name, button] : buttons) {
        if (ReadInteger(settings, name, value)) {
            button->setChecked(value != 0);
        }
    }
}

bool SaveWindowSettings(TfrmProc& form) {
    QSettings& settings = OpenAccessor(false);
    const QRect bounds = form.OuterBounds();
    const std::pair<const char*, int> values[] = {
        {"Top", bounds.top()},
        {"Left", bounds.left()},
        {"Width", bounds.width()},
        {"Height", bounds.height()},
        {"D", form.btnD->isChecked() ? 1 : 0},
        {"P", form.btnP->isChecked() ? 1 : 0},
        {"F", form.btnF->isChecked() ? 1 : 0},
        {"B", form.btnB->isChecked() ? 1 : 0},
    };
    for (const auto& [name, value] : values) {
        settings.setValue(QLatin1String(name), value);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            // The accessor is spent; the next window opens a fresh one.
            Accessor().reset();
            QMessageBox box(QMessageBox::Critical, form.windowTitle(),
                            QStringLiteral("Failed to set data for '%1'").arg(QLatin1String(name)),
                            QMessageBox::Ok, &form);
            box.exec();
            return false;
        }
    }
    return true;
}

} // namespace kestrel

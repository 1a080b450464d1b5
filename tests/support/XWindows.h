#pragma once

// The X server's view of the workbench's windows, for tests that run under
// with-window-manager.sh: which window is active, where the window manager
// framed a window, and the user's keys and clicks sent with xdotool.

#include <QProcess>
#include <QRegularExpression>
#include <QWidget>

namespace testing {

inline QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

inline bool Xdotool(const QStringList& arguments) {
    return QProcess::execute("xdotool", arguments) == 0;
}

inline QString ActiveWindowName() {
    return Run("xdotool", {"getactivewindow", "getwindowname"});
}

// The title the window system shows for `window`.
inline QString WindowName(QWidget* window) {
    return Run("xdotool", {"getwindowname", QString::number(window->winId())});
}

// Clicks with the real pointer at a global point.
inline bool ClickAt(QPoint global, int clicks = 1) {
    return Xdotool({"mousemove", "--sync", QString::number(global.x()), QString::number(global.y()),
                    "click", "--repeat", QString::number(clicks), "--delay", "80", "1"});
}

// The window manager's frame around `window`, from the X server.
inline QRect FrameOf(QWidget* window) {
    QString id = QString::number(window->winId());
    for (;;) {
        const QString tree = Run("xwininfo", {"-tree", "-id", id});
        const QRegularExpression parent(R"(Parent window id: (0x[0-9a-f]+))");
        const QRegularExpression root(R"(Root window id: (0x[0-9a-f]+))");
        const QString up = parent.match(tree).captured(1);
        if (up.isEmpty() || up == root.match(tree).captured(1)) {
            break;
        }
        id = up;
    }
    const QString info = Run("xwininfo", {"-id", id});
    const auto field = [&](const QString& label) {
        return QRegularExpression(label + R"(:\s*(-?\d+))").match(info).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                 field("Height"));
}

} // namespace testing

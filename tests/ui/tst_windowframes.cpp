// The symbol list window and the About dialog as users see them: on an X
// display with a real window manager, which frames the windows. Runs under
// with-window-manager.sh; the rectangles are read from the X server itself
// (xwininfo), and the user's keys and clicks are sent with xdotool.
#include "About.h"
#include "ProcList.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

using namespace kestrel;

namespace {

QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        qWarning() << program << arguments << "failed:" << process.readAllStandardError();
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

qlonglong Field(const QString& text, const QString& label) {
    const QRegularExpression pattern(QRegularExpression::escape(label) +
                                     R"(:\s*(-?(?:0x[0-9a-f]+|\d+)))");
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured(1).toLongLong(nullptr, 0) : -1;
}

// The window's outer rectangle as the X server has it: the rectangle of
// its top-level ancestor (the window manager's frame), border included.
// Null while the window is not framed.
QRect XOuterRect(WId window) {
    qlonglong id = static_cast<qlonglong>(window);
    for (;;) {
        const QString tree = Run("xwininfo", {"-tree", "-id", QString::number(id)});
        const qlonglong parent = Field(tree, "Parent window id");
        if (parent < 0) {
            return {};
        }
        if (parent == Field(tree, "Root window id")) {
            break;
        }
        id = parent;
    }
    if (id == static_cast<qlonglong>(window)) {
        return {}; // not reparented into a frame yet
    }
    const QString info = Run("xwininfo", {"-id", QString::number(id)});
    const int border = static_cast<int>(Field(info, "Border width"));
    return QRect(static_cast<int>(Field(info, "Absolute upper-left X")),
                 static_cast<int>(Field(info, "Absolute upper-left Y")),
                 static_cast<int>(Field(info, "Width")) + 2 * border,
                 static_cast<int>(Field(info, "Height")) + 2 * border);
}

// Waits until the window is framed and its rectangle has stopped changing.
QRect SettledOuterRect(QWidget& window) {
    QRect last;
    int same = 0;
    for (int i = 0; i < 100 && same < 3; ++i) {
        QTest::qWait(30);
        const QRect now = XOuterRect(window.winId());
        same = !now.isNull() && now == last ? same + 1 : 0;
        last = now;
    }
    return last;
}

void Xdotool(const QStringList& arguments) {
    QVERIFY2(QProcess::execute("xdotool", arguments) == 0, qPrintable(arguments.join(' ')));
}

// Clicks with the real pointer at a point of `widget`.
void ClickAt(QWidget* widget, QPoint point, int clicks = 1) {
    const QPoint global = widget->mapToGlobal(point);
    Xdotool({"mousemove", "--sync", QString::number(global.x()), QString::number(global.y()),
             "click", "--repeat", QString::number(clicks), "--delay", "80", "1"});
}

void PressKeys(QWidget& window, const QString& keys) {
    Xdotool({"windowactivate", "--sync", QString::number(window.winId())});
    Xdotool({"key", "--clearmodifiers", keys});
}

QRect StoredBounds() {
    QSettings settings(QStringLiteral("Brenta"), QStringLiteral("Kestrel"));
    return QRect(settings.value("Left").toInt(), settings.value("Top").toInt(),
                 settings.value("Width").toInt(), settings.value("Height").toInt());
}

// One run of the list window: what the user saw when it opened, what the
// window system showed just before it closed, and the window's result.
struct ListRun {
    QRect opened;
    QRect beforeClose;
    int result = 0;
    bool closed = false;
    bool stayedOpenOnKeys = true;
};

} // namespace

class WindowFramesTest : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;

    // Opens a list window modally, as the list command does, lets `act`
    // close it and returns what was seen.
    ListRun OpenList(const std::function<void(TfrmProc&, ListRun&)>& act) {
        ListRun run;
        TfrmProc form;
        form.lstShowLine->Rows()->Append(ListRow{"00001", "Shapes", "unit", ";", catHeader, 1});
        form.lstShowLine->Rows()->Append(
            ListRow{"00007", "Abc: Boolean", "TShape", ";", catHeader, 7});
        connect(&form, &QDialog::finished, this, [&run](int result) { run.result = result; });
        form.setWindowModality(Qt::ApplicationModal);
        form.show();
        run.opened = SettledOuterRect(form);
        act(form, run);
        if (form.isVisible()) {
            PressKeys(form, "alt+F4");
        }
        run.closed = QTest::qWaitFor([&form] { return !form.isVisible(); }, 5000);
        return run;
    }

    static void CloseWithAltF4(TfrmProc& form, ListRun& run) {
        run.beforeClose = SettledOuterRect(form);
        PressKeys(form, "alt+F4");
    }

private slots:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
        QVERIFY(!Run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).isEmpty());
    }

    // The first opening, five closes with Alt+F4, abort, GO, a resize and a
    // maximised close, one after the other as a user would: each opening
    // shows the rectangle that the last close stored, and each close stores
    // the rectangle the user saw.
    void outerRectangleNeverDrifts() {
        QFile::remove(settingsDir.filePath("Brenta/Kestrel.conf"));
        const QRect layout(29, 77, 606, 350);
        QRect expected = layout;
        for (int round = 1; round <= 5; ++round) {
            const ListRun run = OpenList(CloseWithAltF4);
            QCOMPARE(run.opened, expected);
            QCOMPARE(run.beforeClose, expected);
            QCOMPARE(StoredBounds(), expected);
            QVERIFY(run.closed);
            QCOMPARE(run.result, -1);
        }

        // Escape and Enter neither choose nor close; abort closes with -1.
        ListRun run = OpenList([](TfrmProc& form, ListRun& run) {
            ClickAt(form.lstShowLine->viewport(),
                    form.lstShowLine->visualRect(form.lstShowLine->Rows()->index(1, 1)).center());
            PressKeys(form, "Return");
            PressKeys(form, "Escape");
            QTest::qWait(300);
            run.stayedOpenOnKeys = form.isVisible();
            run.beforeClose = SettledOuterRect(form);
            ClickAt(form.btnAbort, form.btnAbort->rect().center());
        });
        QVERIFY(run.stayedOpenOnKeys);
        QCOMPARE(run.result, -1);
        QCOMPARE(run.opened, expected);
        QCOMPARE(StoredBounds(), expected);

        // GO on the row of line 7.
        run = OpenList([](TfrmProc& form, ListRun& run) {
            ClickAt(form.lstShowLine->viewport(),
                    form.lstShowLine->visualRect(form.lstShowLine->Rows()->index(1, 1)).center());
            QTRY_VERIFY(form.btnGo->isEnabled());
            run.beforeClose = SettledOuterRect(form);
            ClickAt(form.btnGo, form.btnGo->rect().center());
        });
        QCOMPARE(run.result, 7);
        QCOMPARE(run.opened, expected);
        QCOMPARE(StoredBounds(), expected);

        // A resize by the window manager is stored as the user saw it.
        run = OpenList([](TfrmProc& form, ListRun& run) {
            Xdotool({"windowsize", "--sync", QString::number(form.winId()), "500", "300"});
            CloseWithAltF4(form, run);
        });
        QCOMPARE(run.opened, expected);
        QVERIFY(run.beforeClose != expected);
        QCOMPARE(StoredBounds(), run.beforeClose);
        expected = run.beforeClose;

        // Maximised with a double-click on the title bar and closed so.
        bool wasMaximised = false;
        run = OpenList([&wasMaximised](TfrmProc& form, ListRun& run) {
            const QRect outer = XOuterRect(form.winId());
            const QPoint title(outer.center().x(), outer.top() + 10);
            Xdotool({"mousemove", "--sync", QString::number(title.x()), QString::number(title.y()),
                     "click", "--repeat", "2", "--delay", "80", "1"});
            QTRY_VERIFY(form.isMaximized());
            wasMaximised = true;
            CloseWithAltF4(form, run);
        });
        QVERIFY(wasMaximised);
        QCOMPARE(run.opened, expected);
        QCOMPARE(StoredBounds(), run.beforeClose);
        const QRect maximised = run.beforeClose;
        QVERIFY(maximised.width() > expected.width());

        // It opens with the maximised rectangle, not maximised, and keeps it.
        bool maximisedAgain = true;
        run = OpenList([&maximisedAgain](TfrmProc& form, ListRun& run) {
            maximisedAgain = form.isMaximized();
            CloseWithAltF4(form, run);
        });
        QVERIFY(!maximisedAgain);
        QCOMPARE(run.opened, maximised);
        QCOMPARE(StoredBounds(), maximised);
    }

    // The list has the keyboard focus when the window opens, so the arrow
    // keys move in it at once, and keeps it when a filter button is clicked.
    void listKeepsTheKeyboardFocus() {
        // Names, not pointers: the window and its widgets are gone once it closes.
        const auto focusName = [] {
            const QWidget* focus = QApplication::focusWidget();
            return focus ? focus->objectName() : QStringLiteral("(none)");
        };
        QString focusAtOpen;
        QString focusAfterClick;
        int selectedByEnd = -1;
        bool declarationsDown = true;
        OpenList([&](TfrmProc& form, ListRun& run) {
            QTest::qWait(100);
            focusAtOpen = focusName();
            PressKeys(form, "End");
            PressKeys(form, "space"); // a focused filter button would flip
            QTest::qWait(200);
            selectedByEnd = form.lstShowLine->SelectedRow();
            ClickAt(form.btnP, form.btnP->rect().center());
            QTest::qWait(200);
            focusAfterClick = focusName();
            declarationsDown = form.btnD->isChecked();
            CloseWithAltF4(form, run);
        });
        QCOMPARE(focusAtOpen, QString("lstShowLine"));
        QCOMPARE(selectedByEnd, 1);
        QVERIFY(!declarationsDown);
        QCOMPARE(focusAfterClick, QString("lstShowLine"));
    }

    // Stored bounds open where they say: a size below the window's minimum
    // grows without moving the window, and a size no screen can show keeps
    // the layout's. The next close stores what was shown.
    void storedBoundsOpenInPlace_data() {
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QRect>("expected"); // an empty size: the minimum
        QTest::newRow("below the minimum") << QRect(200, 150, 1, 1) << QRect(200, 150, 0, 0);
        QTest::newRow("wider than the screens")
            << QRect(100, 120, 1281, 300) << QRect(100, 120, 606, 300);
        QTest::newRow("taller than the screens")
            << QRect(100, 120, 500, 1025) << QRect(100, 120, 500, 350);
        QTest::newRow("absurd") << QRect(90, 80, 100000, 100000) << QRect(90, 80, 606, 350);
    }

    void storedBoundsOpenInPlace() {
        QFETCH(QRect, stored);
        QFETCH(QRect, expected);
        {
            QSettings settings(QStringLiteral("Brenta"), QStringLiteral("Kestrel"));
            settings.setValue("Left", stored.left());
            settings.setValue("Top", stored.top());
            settings.setValue("Width", stored.width());
            settings.setValue("Height", stored.height());
        }
        QSize minimum;
        const ListRun run = OpenList([&minimum](TfrmProc& form, ListRun& run) {
            minimum = form.minimumSizeHint();
            CloseWithAltF4(form, run);
        });
        QCOMPARE(run.opened.topLeft(), expected.topLeft());
        if (expected.isEmpty()) {
            QVERIFY(run.opened.width() >= minimum.width() && run.opened.width() < 606);
            QVERIFY(run.opened.height() >= minimum.height() && run.opened.height() < 350);
        } else {
            QCOMPARE(run.opened.size(), expected.size());
        }
        QCOMPARE(StoredBounds(), run.opened);
    }

    void aboutIsCentredWithItsFrame() {
        TfrmAbout about;
        about.show();
        const QRect outer = SettledOuterRect(about);
        const QPoint centre = about.screen()->availableGeometry().center();
        QVERIFY2(qAbs(outer.center().x() - centre.x()) <= 1 &&
                     qAbs(outer.center().y() - centre.y()) <= 1,
                 qPrintable(QString("frame %1,%2 %3x%4")
                                .arg(outer.x())
                                .arg(outer.y())
                                .arg(outer.width())
                                .arg(outer.height())));
        QVERIFY(outer.height() > about.height()); // the frame is there
        PressKeys(about, "Escape");
        QTest::qWait(300);
        QVERIFY(about.isVisible());
        PressKeys(about, "alt+F4");
        QTRY_VERIFY(!about.isVisible());
    }
};

QTEST_MAIN(WindowFramesTest)
#include "tst_windowframes.moc"

#include "CodeEditor.h"

#include <Qsci/qscicommandset.h>
#include <Qsci/qscilexerpascal.h>

#include <QAccessibleWidget>
#include <QFontDatabase>
#include <QKeyEvent>
#include <algorithm>

namespace workbench {

namespace {

using Sci = QsciScintillaBase;

constexpr int kBookmarkMarker = 1;

// QScintilla's accessible text counts the characters from the start of the
// text to the cursor each time the cursor moves, which makes every keystroke
// near the end of a large file as slow as reading the file. While no
// assistive tool listens, nothing reads that text: the editor is then a
// plain accessible widget. With one listening, it is QScintilla's.
QAccessibleInterface* PlainAccessibleEditor(const QString& className, QObject* object) {
    if (className != QLatin1String(CodeEditor::staticMetaObject.className()) ||
        QAccessible::isActive() || !object->isWidgetType()) {
        return nullptr;
    }
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::EditableText);
}

} // namespace

CodeEditor::CodeEditor(QWidget* parent) : ScintillaText(parent) {
    textFont_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont& font = textFont_;
    setFont(font);
    Call(SCI_SETVIRTUALSPACEOPTIONS, SCVS_USERACCESSIBLE);
    Call(SCI_SETMODEVENTMASK, Call(SCI_GETMODEVENTMASK) | SC_MOD_CHANGEFOLD);
    [[maybe_unused]] static const bool accessibleFactory = [] {
        QAccessible::installFactory(PlainAccessibleEditor);
        return true;
    }();
    // The margin follows the number of lines, whoever edited them.
    connect(this, &ScintillaText::TextEdited, this, &CodeEditor::UpdateLineNumberWidth);

    setMarginLineNumbers(kLineNumbers, true);
    setMarginsFont(font);
    UpdateLineNumberWidth();

    setMarginType(kBookmarks, SymbolMargin);
    setMarginWidth(kBookmarks, CharWidth() * 2);
    setMarginMarkerMask(kBookmarks, 1 << kBookmarkMarker);
    setMarginSensitivity(kBookmarks, true);
    // Scintilla's own calls: QScintilla's colour setters only reach the
    // markers that it allocated itself.
    Call(SCI_MARKERDEFINE, kBookmarkMarker, SC_MARK_BOOKMARK);
    SendScintilla(SCI_MARKERSETBACK, kBookmarkMarker, QColor(0x2a, 0x6f, 0xdb));
    SendScintilla(SCI_MARKERSETFORE, kBookmarkMarker, QColor(0x1a, 0x4f, 0xa0));
    connect(this, &QsciScintilla::marginClicked, this,
            [this](int margin, int line, Qt::KeyboardModifiers) {
                if (margin == kBookmarks && (Call(SCI_MARKERGET, static_cast<unsigned long>(line)) &
                                             (1 << kBookmarkMarker)) != 0) {
                    SetCursorLineColumn(line + 1, 1);
                }
            });

    PascalLexer()->setDefaultFont(font);
    PascalLexer()->setFont(font, -1);

    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this] { emit CursorMoved(); });
}

bool CodeEditor::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        const bool functionKey = key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F35;
        const bool command = (modifiers & (Qt::ControlModifier | Qt::AltModifier)) != 0;
        if ((functionKey || command) &&
            standardCommands()->boundTo(key->key() | static_cast<int>(modifiers)) == nullptr) {
            event->ignore();
            return false;
        }
    }
    if (event->type() == QEvent::DeferredDelete) {
        return QsciScintilla::event(event);
    }
    const bool handled = QsciScintilla::event(event);
    FlushTextEdited();
    return handled;
}

bool CodeEditor::viewportEvent(QEvent* event) {
    const bool handled = QsciScintilla::viewportEvent(event);
    FlushTextEdited();
    return handled;
}

void CodeEditor::Show(const QsciDocument& document) {
    setDocument(document);
    // Folding is the view's to ask of the document it now shows.
    if (Colouring()) {
        setFolding(BoxedTreeFoldStyle, kFolding);
    }
    setReadOnly(isReadOnly()); // the document's, which input methods follow
    lineDigits_ = 0;
    UpdateLineNumberWidth();
}

void CodeEditor::keyPressEvent(QKeyEvent* event) {
    QsciScintilla::keyPressEvent(event);
    emit CursorMoved();
}

void CodeEditor::mousePressEvent(QMouseEvent* event) {
    QsciScintilla::mousePressEvent(event);
    emit CursorMoved();
}

int CodeEditor::CursorLine() const {
    return static_cast<int>(Call(SCI_LINEFROMPOSITION, Call(SCI_GETCURRENTPOS))) + 1;
}

int CodeEditor::CursorColumn() const {
    const long caret = Call(SCI_GETCURRENTPOS);
    const long start = Call(SCI_POSITIONFROMLINE, Call(SCI_LINEFROMPOSITION, caret));
    return static_cast<int>(Call(SCI_COUNTCODEUNITS, start, caret)) + 1 + VirtualColumns();
}

int CodeEditor::VirtualColumns() const {
    return static_cast<int>(Call(SCI_GETSELECTIONNCARETVIRTUALSPACE, Call(SCI_GETMAINSELECTION)));
}

size_t CodeEditor::CursorOffset() const {
    return static_cast<size_t>(Call(SCI_GETCURRENTPOS));
}

void CodeEditor::SetCursorOffset(size_t offset, int beyond) {
    Call(SCI_SETEMPTYSELECTION, offset);
    Call(SCI_SETSELECTIONNCARETVIRTUALSPACE, 0, std::max(0, beyond));
    Call(SCI_SETSELECTIONNANCHORVIRTUALSPACE, 0, std::max(0, beyond));
    // Up and Down keep the column the cursor was put at.
    Call(SCI_CHOOSECARETX);
    Call(SCI_ENSUREVISIBLEENFORCEPOLICY, Call(SCI_LINEFROMPOSITION, static_cast<long>(offset)));
    Call(SCI_SCROLLCARET);
    emit CursorMoved();
}

void CodeEditor::SetCursorLineColumn(int line, int column) {
    const auto index = static_cast<unsigned long>(std::clamp(line - 1, 0, LineCount() - 1));
    const long start = Call(SCI_POSITIONFROMLINE, index);
    const long end = Call(SCI_GETLINEENDPOSITION, index);
    const long units = Call(SCI_COUNTCODEUNITS, start, end);
    const long wanted = std::max(0, column - 1);
    if (wanted >= units) {
        SetCursorOffset(static_cast<size_t>(end), static_cast<int>(wanted - units));
    } else {
        SetCursorOffset(static_cast<size_t>(Call(SCI_POSITIONRELATIVECODEUNITS, start, wanted)), 0);
    }
}

int CodeEditor::TopLine() const {
    return static_cast<int>(Call(SCI_DOCLINEFROMVISIBLE, Call(SCI_GETFIRSTVISIBLELINE)));
}

void CodeEditor::SetTopLine(int line) {
    Call(SCI_SETFIRSTVISIBLELINE, Call(SCI_VISIBLEFROMDOCLINE, std::max(0, line)));
}

bool CodeEditor::CursorVisible() const {
    const long caret = Call(SCI_GETCURRENTPOS);
    const long line = Call(SCI_LINEFROMPOSITION, caret);
    if (!Call(SCI_GETLINEVISIBLE, line)) {
        return false;
    }
    const long shown = Call(SCI_VISIBLEFROMDOCLINE, line);
    const long first = Call(SCI_GETFIRSTVISIBLELINE);
    if (shown < first || shown >= first + Call(SCI_LINESONSCREEN)) {
        return false;
    }
    long textLeft = Call(SCI_GETMARGINLEFT);
    for (int margin = 0; margin < 5; ++margin) {
        textLeft += Call(SCI_GETMARGINWIDTHN, margin);
    }
    const long x = Call(SCI_POINTXFROMPOSITION, 0, caret) + VirtualColumns() * CharWidth();
    return x >= textLeft && x < viewport()->width();
}

int CodeEditor::CharWidth() const {
    return std::max(1, static_cast<int>(SendScintilla(SCI_TEXTWIDTH, STYLE_DEFAULT, " ")));
}

void CodeEditor::UpdateLineNumberWidth() {
    int digits = 1;
    for (int lines = LineCount(); lines >= 10; lines /= 10) {
        ++digits;
    }
    if (digits != lineDigits_) {
        lineDigits_ = digits;
        setMarginWidth(kLineNumbers, QString(digits + 1, QLatin1Char('9')));
    }
}

void CodeEditor::SetColouring(bool on) {
    if (on == Colouring()) {
        return;
    }
    ScintillaText::SetColouring(on);
    setFolding(on ? BoxedTreeFoldStyle : NoFoldStyle, kFolding);
    if (!on) {
        // Without the lexer the text takes the editor's own font again.
        setFont(textFont_);
    }
    setMarginsFont(textFont_);
    lineDigits_ = 0;
    UpdateLineNumberWidth();
    setMarginWidth(kBookmarks, CharWidth() * 2);
}

CodeEditor::SearchHit CodeEditor::FindText(const QString& text, bool forward) {
    int line = -1;
    int index = -1;
    long from = Call(SCI_GETCURRENTPOS);
    if (!forward) {
        // Back from the start of the selection, which may be the last find.
        int lineTo = 0;
        int indexTo = 0;
        getSelection(&line, &index, &lineTo, &indexTo);
        if (line < 0) {
            getCursorPosition(&line, &index);
        }
        from = Call(SCI_GETSELECTIONSTART);
    }
    if (!findFirst(text, false, false, false, true, forward, line, index)) {
        return SearchHit::NotFound;
    }
    const long found = Call(SCI_GETSELECTIONSTART);
    return (forward ? found < from : found >= from) ? SearchHit::Wrapped : SearchHit::Found;
}

QString CodeEditor::WordAtCursor() const {
    const long caret = Call(SCI_GETCURRENTPOS);
    const long start = Call(SCI_WORDSTARTPOSITION, static_cast<unsigned long>(caret), 1);
    const long end = Call(SCI_WORDENDPOSITION, static_cast<unsigned long>(caret), 1);
    // The word's range only: the whole text as one piece would first close
    // Scintilla's gap, moving up to all of a large file.
    const auto* text = reinterpret_cast<const char*>(
        Call(SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), end - start));
    return text == nullptr ? QString() : QString::fromUtf8(text, end - start);
}

void CodeEditor::SetBookmarkLines(const QList<int>& lines) {
    // Scintilla's own calls: the marker is defined through them, not
    // through QScintilla's allocation.
    Call(SCI_MARKERDELETEALL, kBookmarkMarker);
    for (const int line : lines) {
        Call(SCI_MARKERADD, static_cast<unsigned long>(line - 1), kBookmarkMarker);
    }
}

QList<int> CodeEditor::BookmarkLines() const {
    QList<int> lines;
    for (long line = Call(SCI_MARKERNEXT, 0, 1 << kBookmarkMarker); line >= 0;
         line = Call(SCI_MARKERNEXT, static_cast<unsigned long>(line + 1), 1 << kBookmarkMarker)) {
        lines << static_cast<int>(line) + 1;
    }
    return lines;
}

CodeEditor::SearchHit CodeEditor::GoToBookmark(bool next) {
    const long current = CursorLine() - 1;
    const long last = LineCount() - 1;
    const unsigned mask = 1U << kBookmarkMarker;
    long line = 0;
    bool wrapped = false;
    if (next) {
        line = Call(SCI_MARKERNEXT, static_cast<unsigned long>(current + 1), mask);
        if (line < 0) {
            line = Call(SCI_MARKERNEXT, 0, mask);
            wrapped = true;
        }
    } else {
        line = current > 0 ? Call(SCI_MARKERPREVIOUS, static_cast<unsigned long>(current - 1), mask)
                           : -1;
        if (line < 0) {
            line = Call(SCI_MARKERPREVIOUS, static_cast<unsigned long>(last), mask);
            wrapped = true;
        }
    }
    if (line < 0) {
        return SearchHit::NotFound;
    }
    SetCursorLineColumn(static_cast<int>(line) + 1, 1);
    return wrapped ? SearchHit::Wrapped : SearchHit::Found;
}

} // namespace workbench

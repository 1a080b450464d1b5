// The symbol list window: filters, choosing a row, sorting, its settings,
// and the About dialog, driven with real mouse and key events.
#include "About.h"
#include "ColumnSort.h"
#include "CursorTable.h"
#include "LineClassifier.h"
#include "MemorySource.h"
#include "ModalAnswer.h"
#include "ProcList.h"
#include "TextWidths.h"

#include <QCollator>
#include <QDesktopServices>
#include <QHeaderView>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

using namespace kestrel;
using testing::AnswerNext;

namespace {

const char* const kUnit = "unit Shapes;\r\n"                       // 1
                          "interface\r\n"                          // 2
                          "procedure beta;\r\n"                    // 3
                          "function Alpha: Integer;\r\n"           // 4
                          "implementation\r\n"                     // 5
                          "procedure TShape.Zeta(A: Integer);\r\n" // 6
                          "function TShape.Abc: Boolean;\r\n"      // 7
                          "function TCircle.abc: Boolean;\r\n"     // 8
                          "x := 1; {//*} look\r\n"                 // 9
                          "procedure Gamma;\r\n";                  // 10

void Fill(TfrmProc& form, std::string_view text) {
    form.LoadSource(MemorySource(text));
}

QStringList Lines(const SymbolListView* list) {
    QStringList lines;
    for (int i = 0; i < list->Rows()->Count(); ++i) {
        lines << QString::number(list->Rows()->Row(i).line);
    }
    return lines;
}

int RowOfLine(const SymbolListView* list, int line) {
    for (int i = 0; i < list->Rows()->Count(); ++i) {
        if (list->Rows()->Row(i).line == line) {
            return i;
        }
    }
    return -1;
}

void ClickRow(SymbolListView* list, int row) {
    const QRect rect = list->visualRect(list->Rows()->index(row, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

// Shows the window modally, runs `actions` inside its loop, and returns the
// show call's result. A window still open afterwards is closed.
int RunModal(QDialog& dialog, const std::function<void()>& actions) {
    QTimer::singleShot(0, &dialog, [&] {
        actions();
        if (dialog.isVisible()) {
            QTimer::singleShot(0, &dialog, [&] { dialog.close(); });
        }
    });
    return dialog.exec();
}

// Presses a filter button with the mouse.
void Press(QToolButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

} // namespace

class ProcListTest : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;

    QString SettingsFile() const { return settingsDir.filePath("Brenta/Kestrel.conf"); }

    void ClearSettings() { QFile::remove(SettingsFile()); }

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    }

    void init() {
        ClearSettings();
        LineChosen = false;
    }

    // --- the window and its filters ----------------------------------------

    void firstUseOpensAtTheLayoutBounds() {
        TfrmProc form;
        Fill(form, kUnit);
        QCOMPARE(form.OuterBounds(), QRect(29, 77, 606, 350));
        for (QToolButton* b : {form.btnD, form.btnP, form.btnF, form.btnB}) {
            QVERIFY(!b->isChecked());
        }
        QCOMPARE(Lines(form.lstShowLine), QStringList({"1", "5"}));
        QCOMPARE(Lines(form.lstProc), QStringList({"3", "4", "6", "7", "8", "9", "10"}));
        QVERIFY(!form.btnGo->isEnabled());
        QVERIFY(!form.lstProc->isVisible());
        QCOMPARE(form.windowTitle(), QString("Brenta Kestrel"));
        QCOMPARE(form.cboReserved->count(), 8);
        QCOMPARE(form.cboReserved->itemText(2), QString("PROJECT"));
        QCOMPARE(form.cboReserved->currentText(), QString("cboReserved"));
        QCOMPARE(form.btnD->toolTip(), QString("Declarations"));
        QCOMPARE(form.btnGo->toolTip(), QString("GO !"));
        QCOMPARE(form.btnD->geometry(), QRect(50, 3, 20, 20));
        QCOMPARE(form.btnAbout->geometry(), QRect(219, 3, 20, 20));
    }

    void rowsGoWhereTheirCategoryIsShown_data() {
        QTest::addColumn<QString>("down");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("none") << "" << QStringList{"1", "5"};
        QTest::newRow("declarations") << "D" << QStringList{"1", "3", "4", "5"};
        QTest::newRow("procedures and bookmarks") << "PB" << QStringList{"1", "5", "6", "9", "10"};
        QTest::newRow("functions") << "F" << QStringList{"1", "5", "7", "8"};
        QTest::newRow("all") << "DPFB" << QStringList{"1", "3", "4", "5", "6", "7", "8", "9", "10"};
    }

    void rowsGoWhereTheirCategoryIsShown() {
        QFETCH(QString, down);
        TfrmProc form;
        form.btnD->setChecked(down.contains('D'));
        form.btnP->setChecked(down.contains('P'));
        form.btnF->setChecked(down.contains('F'));
        form.btnB->setChecked(down.contains('B'));
        Fill(form, kUnit);
        QTEST(Lines(form.lstShowLine), "shown");
        QCOMPARE(form.lstShowLine->Rows()->Count() + form.lstProc->Rows()->Count(), 9);
    }

    void hideAndShowBringBackEveryRow() {
        TfrmProc form;
        Fill(form, kUnit);
        form.show();
        Press(form.btnF);
        QVERIFY(form.btnF->isChecked());
        QCOMPARE(Lines(form.lstShowLine), QStringList({"1", "5", "7", "8"}));
        Press(form.btnD);
        QCOMPARE(Lines(form.lstShowLine), QStringList({"1", "3", "4", "5", "7", "8"}));
        Press(form.btnF);
        QCOMPARE(Lines(form.lstShowLine), QStringList({"1", "3", "4", "5"}));
        QCOMPARE(Lines(form.lstProc), QStringList({"6", "9", "10", "7", "8"}));
        Press(form.btnF);
        QCOMPARE(Lines(form.lstShowLine), QStringList({"1", "3", "4", "5", "7", "8"}));
        QVERIFY(form.btnD->isChecked()); // each button flips alone
    }

    void hidingTheSelectedRowsCategoryDisablesGo() {
        TfrmProc form;
        form.btnP->setChecked(true);
        Fill(form, kUnit);
        form.show();
        ClickRow(form.lstShowLine, RowOfLine(form.lstShowLine, 6));
        QVERIFY(form.btnGo->isEnabled());
        Press(form.btnP);
        QCOMPARE(RowOfLine(form.lstShowLine, 6), -1);
        QVERIFY(!form.btnGo->isEnabled());
        // A selected row of another category keeps its selection.
        Press(form.btnF);
        ClickRow(form.lstShowLine, RowOfLine(form.lstShowLine, 8));
        Press(form.btnB);
        Press(form.btnB);
        QCOMPARE(form.lstShowLine->Rows()->Row(form.lstShowLine->SelectedRow()).line, 8);
        QVERIFY(form.btnGo->isEnabled());
        Press(form.btnF);
        QVERIFY(!form.btnGo->isEnabled());
        const int result = RunModal(form, [&] {
            form.btnGoClick();
            QVERIFY(form.isVisible());
        });
        QCOMPARE(result, -1);
    }

    // --- choosing a row --------------------------------------------------------

    void modalResults_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("result");
        QTest::newRow("GO on line 7") << "go" << 7 << 7;
        QTest::newRow("double-click on line 7") << "double" << 7 << 7;
        QTest::newRow("Enter on line 8 does nothing") << "enter" << 8 << -1;
        QTest::newRow("GO on a header row") << "go" << 5 << 5;
        QTest::newRow("title bar close") << "close" << 7 << -1;
        QTest::newRow("abort") << "abort" << 7 << -1;
        QTest::newRow("Escape does nothing") << "escape" << 7 << -1;
        QTest::newRow("double-click with nothing selected") << "double-empty" << 0 << -1;
        QTest::newRow("GO with nothing selected") << "go-empty" << 0 << -1;
    }

    void modalResults() {
        QFETCH(QString, how);
        QFETCH(int, line);
        TfrmProc form;
        form.btnF->setChecked(true);
        Fill(form, kUnit);
        bool stayedOpen = true;
        const int result = RunModal(form, [&] {
            SymbolListView* list = form.lstShowLine;
            if (line > 0) {
                ClickRow(list, RowOfLine(list, line));
            }
            if (how == "go" || how == "go-empty") {
                QTest::mouseClick(form.btnGo, Qt::LeftButton);
            } else if (how == "double") {
                const QRect rect = list->visualRect(list->Rows()->index(RowOfLine(list, line), 1));
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
            } else if (how == "double-empty") {
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                                   QPoint(5, list->viewport()->height() - 5));
                stayedOpen = form.isVisible();
            } else if (how == "enter") {
                QTest::keyClick(list, Qt::Key_Return);
                stayedOpen = form.isVisible();
            } else if (how == "close") {
                form.close();
            } else if (how == "abort") {
                QTest::mouseClick(form.btnAbort, Qt::LeftButton);
            } else if (how == "escape") {
                QTest::keyClick(list, Qt::Key_Escape);
                stayedOpen = form.isVisible();
            }
            if (how == "go-empty") {
                stayedOpen = form.isVisible();
            }
        });
        QTEST(result, "result");
        QVERIFY(stayedOpen);
    }

    void goIsEnabledExactlyWithASelection() {
        TfrmProc form;
        Fill(form, kUnit);
        form.show();
        QVERIFY(!form.btnGo->isEnabled());
        ClickRow(form.lstShowLine, 0);
        QVERIFY(form.btnGo->isEnabled());
        form.lstShowLine->SelectRow(-1);
        QVERIFY(!form.btnGo->isEnabled());
    }

    void linesPastFiveDigitsComeBackWhole() {
        TfrmProc form;
        bool inImplementation = false;
        for (const auto& [text, line] : {std::pair("unit A;", 99999), std::pair("unit B;", 100000),
                                         std::pair("unit C;", 123456)}) {
            form.AddRow(*ClassifySourceLine(text, line, inImplementation, ReservedWords()));
        }
        QCOMPARE(form.lstShowLine->Rows()->Row(1).Caption(), QString("100000"));
        form.show();
        form.lstShowLineColumnClick(0); // descending
        QCOMPARE(Lines(form.lstShowLine), QStringList({"123456", "100000", "99999"}));
        form.lstShowLineColumnClick(0); // ascending
        QCOMPARE(Lines(form.lstShowLine), QStringList({"99999", "100000", "123456"}));
        const int result = RunModal(form, [&] {
            ClickRow(form.lstShowLine, 2);
            QTest::mouseClick(form.btnGo, Qt::LeftButton);
        });
        QCOMPARE(result, 123456);
    }

    void aboutClearsTheChoiceFlag() {
        TfrmProc form;
        Fill(form, kUnit);
        const int result = RunModal(form, [&] {
            LineChosen = true; // as if left over from an earlier window
            AnswerNext<TfrmAbout>([](TfrmAbout* about) { about->close(); });
            QTest::mouseClick(form.btnAbout, Qt::LeftButton);
            QVERIFY(form.isVisible()); // the list stays open behind it
            form.close();
        });
        QCOMPARE(result, -1);
        QVERIFY(!LineChosen);
    }

    // --- sorting -------------------------------------------------------------

    void columnClicks_data() {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("ascending");
        using C = QList<int>;
        const QStringList all{"1", "3", "4", "5", "6", "7", "8", "9", "10"};
        QStringList reversed = all;
        std::reverse(reversed.begin(), reversed.end());
        QTest::newRow("Line once: descending") << C{0} << reversed << 0 << false;
        QTest::newRow("Line twice: ascending") << C{0, 0} << all << 0 << true;
        // Names upper-cased: "" (5), ABC (7, 8), ALPHA: INTEGER (4), BETA (3),
        // BOOKMARK (9), GAMMA (10), SHAPES (1), ZETA (6); equal names keep
        // their order.
        QTest::newRow("Name: ascending, case ignored")
            << C{1} << QStringList{"5", "7", "8", "4", "3", "9", "10", "1", "6"} << 1 << true;
        QTest::newRow("Name twice: descending")
            << C{1, 1} << QStringList{"6", "1", "10", "9", "3", "4", "7", "8", "5"} << 1 << false;
        // Classes: "" (3, 4, 9, 10), IMPLEMENTATION (5), TCIRCLE (8),
        // TSHAPE (6, 7), UNIT (1); ties keep the Name-descending order.
        QTest::newRow("Name twice then Class: ascending")
            << C{1, 1, 2} << QStringList{"10", "9", "3", "4", "5", "8", "6", "7", "1"} << 2 << true;
    }

    void columnClicks() {
        QFETCH(QList<int>, clicks);
        TfrmProc form;
        for (QToolButton* b : {form.btnD, form.btnP, form.btnF, form.btnB}) {
            b->setChecked(true);
        }
        Fill(form, kUnit);
        form.show();
        QHeaderView* header = form.lstShowLine->header();
        for (const int column : clicks) {
            const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        }
        QTEST(Lines(form.lstShowLine), "order");
        QTEST(SortColumn, "column");
        QTEST(SortAscending, "ascending");
    }

    void showingKeepsTheSortOrder() {
        TfrmProc form;
        form.btnP->setChecked(true);
        Fill(form, kUnit);
        form.show();
        form.lstShowLineColumnClick(1);
        form.lstShowLineColumnClick(1); // Name descending
        Press(form.btnF);
        QCOMPARE(SortColumn, 1);
        QVERIFY(!SortAscending);
        QCOMPARE(Lines(form.lstShowLine), QStringList({"6", "1", "10", "7", "8", "5"}));
        // Showing a category with no parked rows still sorts again.
        form.lstShowLine->Rows()->Append(ListRow{"00002", "AAA", "", "", catHeader, 2});
        Press(form.btnB);
        QCOMPARE(Lines(form.lstShowLine), QStringList({"6", "1", "10", "9", "7", "8", "2", "5"}));
        Press(form.btnB);
        Press(form.btnB);
        QCOMPARE(Lines(form.lstShowLine), QStringList({"6", "1", "10", "9", "7", "8", "2", "5"}));
        QVERIFY(!SortAscending);
    }

    void sortByDetailsSurvivesAFilterMove() {
        TfrmProc form;
        form.btnP->setChecked(true);
        form.btnF->setChecked(true);
        Fill(form, kUnit);
        form.show();
        form.lstShowLineColumnClick(3);
        const QStringList sorted = Lines(form.lstShowLine);
        Press(form.btnP);
        Press(form.btnP);
        QCOMPARE(Lines(form.lstShowLine), sorted);
        QCOMPARE(SortColumn, 3);
        QVERIFY(SortAscending);
    }

    void selectionFollowsItsRowThroughASort() {
        TfrmProc form;
        form.btnF->setChecked(true);
        Fill(form, kUnit);
        form.show();
        ClickRow(form.lstShowLine, RowOfLine(form.lstShowLine, 7));
        form.lstShowLineColumnClick(0);
        QCOMPARE(form.lstShowLine->Rows()->Row(form.lstShowLine->SelectedRow()).line, 7);
    }

    void collationOrder_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("case only") << "Abc"
                                   << "abc" << 0;
        QTest::newRow("case does not order") << "alpha"
                                             << "Beta" << -1;
        QTest::newRow("digits as text") << "Item10"
                                        << "Item2" << -1;
        QTest::newRow("shorter first") << "Item"
                                       << "Item2" << -1;
        QTest::newRow("underscore before letters") << "_Init"
                                                   << "Init" << -1;
        QTest::newRow("digits before letters") << "X1"
                                               << "XA" << -1;
        QTest::newRow("blank before letters") << "Get Area"
                                              << "GetArea" << -1;
        QTest::newRow("accented after plain") << "\u00e9t\u00e9"
                                              << "ete" << 1;
        QTest::newRow("accented before next letter") << "\u00e9t\u00e9"
                                                     << "f" << -1;
    }

    void collationOrder() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QCollator collator{QLocale()};
        SortColumn = 1;
        SortAscending = true;
        ListRow x{"00001", a, "", "", 0, 1};
        ListRow y{"00002", b, "", "", 0, 2};
        const int r = CompareRows(x, y, collator);
        QCOMPARE((r > 0) - (r < 0), sign);
        SortAscending = false;
        const int reversed = CompareRows(x, y, collator);
        QCOMPARE((reversed > 0) - (reversed < 0), -sign);
        QLocale::setDefault(previous);
    }

    // The list is sorted with one key per row; the order must be the one the
    // pairwise comparison gives.
    void sortMatchesThePairwiseComparison_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("en_US") << "en_US";
        QTest::newRow("de_DE") << "de_DE";
        QTest::newRow("C") << "C";
    }

    void sortMatchesThePairwiseComparison() {
        QFETCH(QString, locale);
        const QLocale previous;
        QLocale::setDefault(QLocale(locale));
        const QStringList names{"beta",     "Alpha", "alpha2", "Alpha10", "_init", "Zeta",
                                "été",      "ete",   "Item 2", "item-1",  "",      "GetArea",
                                "get_area", "ÉTÉ",   "x1",     "X10",     "abc",   "ABC"};
        TfrmProc form;
        for (int i = 0; i < names.size(); ++i) {
            form.lstShowLine->Rows()->Append(
                ListRow{QString::number(i + 1), names[i], "", "", catHeader, i + 1});
        }
        for (const bool descending : {false, true}) {
            SortColumn = 0;
            form.lstShowLineColumnClick(1);
            if (descending) {
                form.lstShowLineColumnClick(1);
            }
            std::vector<ListRow> expected;
            for (int i = 0; i < names.size(); ++i) {
                expected.push_back(
                    ListRow{QString::number(i + 1), names[i], "", "", catHeader, i + 1});
            }
            const QCollator collator{QLocale()};
            std::stable_sort(expected.begin(), expected.end(),
                             [&](const ListRow& a, const ListRow& b) {
                                 return CompareRows(a, b, collator) < 0;
                             });
            // Rows that compare equal may stand in either order.
            for (int i = 0; i < names.size(); ++i) {
                const ListRow& got = form.lstShowLine->Rows()->Row(i);
                QCOMPARE(CompareRows(got, expected[static_cast<size_t>(i)], collator), 0);
            }
        }
        QLocale::setDefault(previous);
    }

    // --- column widths ---------------------------------------------------------

    // Texts are measured from their characters' advances and kerning; the
    // sum must never fall short of what Qt lays out.
    void textWidthsMatchTheLayout_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("kerned capitals") << "AVATAR WAVE Type LTA";
        QTest::newRow("code") << "procedure TShape.Zeta(const A: Integer; var B: string);";
        QTest::newRow("ligatures") << "office affine fluffy";
        QTest::newRow("Latin-1") << "Gr\u00fc\u00dfe \u00c6\u00d8\u00c5 \u00e6\u00f8\u00e5 \u00bd";
        QTest::newRow("Cyrillic") << "\u041f\u0440\u0438\u0432\u0435\u0442";
        QTest::newRow("combining mark") << "Cafe\u0301 e\u0301te\u0301";
        QTest::newRow("tab") << "A\tB";
        QTest::newRow("one letter") << "W";
        QTest::newRow("empty") << "";
    }

    void textWidthsMatchTheLayout() {
        QFETCH(QString, text);
        for (const char* family : {"Liberation Sans", "DejaVu Sans", "DejaVu Serif"}) {
            for (const int pixels : {10, 12, 17}) {
                QFont font(family);
                font.setPixelSize(pixels);
                font.setStyleStrategy(QFont::PreferNoShaping);
                const int exact = QFontMetrics(font).horizontalAdvance(text);
                const int summed = TextWidths::For(font).Width(text);
                QVERIFY2(summed >= exact && summed <= exact + 1,
                         qPrintable(QString("%1 %2px: %3 for %4")
                                        .arg(family)
                                        .arg(pixels)
                                        .arg(summed)
                                        .arg(exact)));
            }
        }
    }

    // The widest text of each column is a short one of wide letters among
    // thousands of longer ones of narrow letters.
    void columnsFitTheirWidestText() {
        TfrmProc form;
        const QString wide[] = {"WWWWWWWWWWWWWWWWWW", "MWMWMWMWMWMW", "(W: WMWMWMWMWMWMWM);"};
        SymbolListView* list = form.lstShowLine;
        list->BeginUpdate();
        for (int i = 1; i <= 5000; ++i) {
            const QString n = QString::number(i);
            const bool widest = i == 2500;
            list->Rows()->Append(ListRow{
                QString("%1").arg(i, 5, 10, QChar('0')),
                widest ? wide[0] : "iiiiliiiiilllllilllliiiiiiiiii" + n,
                widest ? wide[1] : "Tlililililil" + n,
                widest ? wide[2] : "(i: lil; j: ijlijl; k: iljk; l: ijkl);" + n, catHeader, i});
        }
        list->EndUpdate();
        form.show();
        const QFontMetrics metrics(list->font());
        QStyleOptionViewItem option;
        option.initFrom(list);
        for (int column = 1; column < 4; ++column) {
            int widest = 0;
            int widestRow = 0;
            for (int row = 0; row < list->Rows()->Count(); ++row) {
                const int width =
                    metrics.horizontalAdvance(list->Rows()->Row(row).SubItem(column - 1));
                if (width > widest) {
                    widest = width;
                    widestRow = row;
                }
            }
            // The premise: the widest text is not the longest.
            QCOMPARE(widestRow, 2499);
            QVERIFY(wide[column - 1].size() < list->Rows()->Row(0).SubItem(column - 1).size());
            const QSize needed =
                list->itemDelegate()->sizeHint(option, list->Rows()->index(widestRow, column));
            QVERIFY2(list->header()->sectionSize(column) >= qMax(widest, needed.width()),
                     qPrintable(QString("column %1: %2 for %3")
                                    .arg(column)
                                    .arg(list->header()->sectionSize(column))
                                    .arg(needed.width())));
        }
    }

    // --- settings --------------------------------------------------------------

    void settingsFileIsMadeAtCreationAndFilledAtClose() {
        {
            TfrmProc form;
            QVERIFY(QFile::exists(SettingsFile()));
            QVERIFY(QSettings(SettingsFile(), QSettings::IniFormat).allKeys().isEmpty());
            RunModal(form, [&] { form.close(); });
        }
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(settings.allKeys().size(), 8);
        QCOMPARE(settings.value("Left").toInt(), 29);
        QCOMPARE(settings.value("Top").toInt(), 77);
        QCOMPARE(settings.value("Width").toInt(), 606);
        QCOMPARE(settings.value("Height").toInt(), 350);
        for (const char* name : {"D", "P", "F", "B"}) {
            QCOMPARE(settings.value(name).toString(), QString("0"));
        }
    }

    void settingsSurviveToTheNextRun() {
        {
            TfrmProc form;
            Fill(form, kUnit);
            RunModal(form, [&] {
                form.SetOuterBounds(QRect(120, 140, 500, 300));
                Press(form.btnP);
                Press(form.btnB);
                form.close();
            });
        }
        TfrmProc next;
        Fill(next, kUnit);
        QCOMPARE(next.OuterBounds(), QRect(120, 140, 500, 300));
        QVERIFY(!next.btnD->isChecked() && next.btnP->isChecked() && !next.btnF->isChecked() &&
                next.btnB->isChecked());
        QCOMPARE(Lines(next.lstShowLine), QStringList({"1", "5", "6", "9", "10"}));
    }

    void goSavesLikeAnyClose() {
        TfrmProc form;
        form.btnF->setChecked(true);
        Fill(form, kUnit);
        const int result = RunModal(form, [&] {
            form.SetOuterBounds(QRect(60, 70, 450, 250));
            ClickRow(form.lstShowLine, RowOfLine(form.lstShowLine, 8));
            QTest::mouseClick(form.btnGo, Qt::LeftButton);
        });
        QCOMPARE(result, 8);
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(settings.value("Left").toInt(), 60);
        QCOMPARE(settings.value("F").toInt(), 1);
    }

    void maximisedWindowReopensUnmaximised() {
        QRect maximised;
        {
            TfrmProc form;
            RunModal(form, [&] {
                form.showMaximized();
                QApplication::processEvents();
                maximised = form.OuterBounds();
                form.close();
            });
        }
        TfrmProc next;
        QCOMPARE(next.OuterBounds(), maximised);
        QVERIFY(!next.isMaximized());
    }

    // Whatever the settings file holds, the window opens at a sane place and
    // size (a value that cannot be used leaves the layout's), and its close
    // stores what was shown, as integers.
    void badSettingsOpenSanelyAndCloseSanely_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QRect>("bounds"); // an empty size: the window's minimum
        const QRect layout(29, 77, 606, 350);
        const QSize desktop = QGuiApplication::primaryScreen()->virtualGeometry().size();
        const auto row = [](const char* name, const QByteArray& values, QRect bounds) {
            QTest::newRow(name) << "[General]\nD=yes\nP=7\n" + values + "\n" << bounds;
        };
        row("width not a number", "Width=wide", layout);
        row("width a fraction", "Width=300.5", layout);
        row("height negative", "Height=-5", layout);
        row("height zero", "Height=0", layout);
        row("width beyond the desktop", "Width=" + QByteArray::number(desktop.width() + 1), layout);
        row("height absurd", "Height=200000", layout);
        row("top absurd", "Top=5000000", layout);
        row("left beyond the coordinates", "Left=-40000", layout);
        row("height a megabyte of digits", "Height=" + QByteArray(1 << 20, '9'), layout);
        row("width below the minimum", "Width=1", QRect(29, 77, 0, 350));
        row("left off the screen", "Left=-3000", QRect(-3000, 77, 606, 350));
        row("height usable", "Height=222", QRect(29, 77, 606, 222));
        row("a list", "Width=1, 2", layout);
        QTest::newRow("garbage bytes")
            << QByteArray("\x00\xff[[=\n\x01Width\x02=\xfe\n", 16) << layout;
    }

    void badSettingsOpenSanelyAndCloseSanely() {
        QFETCH(QByteArray, file);
        QFETCH(QRect, bounds);
        QVERIFY(QDir().mkpath(QFileInfo(SettingsFile()).path()));
        QFile store(SettingsFile());
        QVERIFY(store.open(QIODevice::WriteOnly) && store.write(file) == file.size());
        store.close();
        const bool garbage = !file.startsWith("[General]");
        QRect shown;
        QSize minimum;
        {
            TfrmProc form;
            QCOMPARE(form.btnD->isChecked(), false);
            QCOMPARE(form.btnP->isChecked(), !garbage); // any non-zero value is down
            RunModal(form, [&] {
                shown = form.OuterBounds();
                minimum = form.minimumSizeHint() + (form.frameGeometry().size() - form.size());
                form.close();
            });
        }
        QCOMPARE(shown.topLeft(), bounds.topLeft());
        QCOMPARE(shown.width(), bounds.width() > 0 ? bounds.width() : minimum.width());
        QCOMPARE(shown.height(), bounds.height() > 0 ? bounds.height() : minimum.height());
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        const std::pair<const char*, int> stored[] = {{"Left", shown.left()},
                                                      {"Top", shown.top()},
                                                      {"Width", shown.width()},
                                                      {"Height", shown.height()},
                                                      {"D", 0},
                                                      {"P", garbage ? 0 : 1},
                                                      {"F", 0},
                                                      {"B", 0}};
        for (const auto& [name, value] : stored) {
            QCOMPARE(settings.value(name).toString(), QString::number(value));
        }
    }

    void unwritableSettingsStillClose_data() {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("the folder is a file") << "Brenta";
        QTest::newRow("the file is a folder") << "Brenta/Kestrel.conf/x";
    }

    // A settings folder that is a plain file, or a settings file that is a
    // folder, can be neither read nor written, not even by an
    // administrator: the window opens at the layout's bounds and still
    // closes.
    void unwritableSettingsStillClose() {
        QFETCH(QString, blocker);
        QTemporaryDir blocked;
        QVERIFY(QDir(blocked.path()).mkpath(QFileInfo(blocker).path()));
        QFile file(blocked.filePath(blocker));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocked.path());
        QString message;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        int result = 0;
        {
            TfrmProc form;
            QCOMPARE(form.OuterBounds(), QRect(29, 77, 606, 350));
            Fill(form, kUnit);
            result = RunModal(form, [&] {
                AnswerNext<QMessageBox>([&](QMessageBox* box) {
                    message = box->text();
                    icon = box->icon();
                    box->accept();
                });
                form.close();
            });
            QVERIFY(!form.isVisible());
        }
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QCOMPARE(result, -1);
        QCOMPARE(message, QString("Failed to set data for 'Top'"));
        QCOMPARE(icon, QMessageBox::Critical);
    }

    // --- About -----------------------------------------------------------------

    void aboutShowsItsTexts() {
        TfrmAbout about;
        QCOMPARE(about.windowTitle(), QString("About"));
        QCOMPARE(about.ProductName->text(), QString("Brenta Kestrel for Delphi"));
        QCOMPARE(about.Version->text(), QString("Version 1.02"));
        QCOMPARE(about.Label9->text(), QString("Please, send your suggestions and feedback to "));
        QVERIFY(about.Label10->text().endsWith(": "));
        QCOMPARE(about.size(), QSize(298, 293));
        QCOMPARE(about.Label9->font().pixelSize(), 11);
        QCOMPARE(about.lblEMail->font().pixelSize(), 12);
        QVERIFY(about.btnOK->isDefault());
        QCOMPARE(about.btnOK->geometry(), QRect(205, 248, 61, 24));
    }

    // No text is cut off at the edge of its panel.
    void aboutLabelsFitTheirPanels() {
        TfrmAbout about;
        about.show();
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (label->text().isEmpty()) {
                continue; // the picture, stretched to its place
            }
            const QRect inside = label->parentWidget()->contentsRect();
            const QRect needed(label->pos(), label->sizeHint());
            QVERIFY2(inside.contains(needed) && label->size().width() >= needed.width(),
                     qPrintable(label->objectName() + ": " + label->text()));
        }
    }

    // The panel's outer bevel is lowered (dark above and left, light below
    // and right) and its inner bevel raised (the other way round).
    void aboutPanelHasALoweredOuterAndARaisedInnerBevel() {
        TfrmAbout about;
        about.show();
        auto* panel = about.findChild<QWidget*>("Panel1");
        QVERIFY(panel != nullptr);
        const QImage image = panel->grab().toImage();
        const QPalette& palette = panel->palette();
        const int right = image.width() - 1;
        const int bottom = image.height() - 1;
        QCOMPARE(image.pixelColor(0, 20).rgb(), palette.color(QPalette::Dark).rgb());
        QCOMPARE(image.pixelColor(20, 0).rgb(), palette.color(QPalette::Dark).rgb());
        QCOMPARE(image.pixelColor(right, 20).rgb(), palette.color(QPalette::Light).rgb());
        QCOMPARE(image.pixelColor(20, bottom).rgb(), palette.color(QPalette::Light).rgb());
        QCOMPARE(image.pixelColor(1, 20).rgb(), palette.color(QPalette::Light).rgb());
        QCOMPARE(image.pixelColor(20, 1).rgb(), palette.color(QPalette::Light).rgb());
        QCOMPARE(image.pixelColor(right - 1, 20).rgb(), palette.color(QPalette::Dark).rgb());
        QCOMPARE(image.pixelColor(20, bottom - 1).rgb(), palette.color(QPalette::Dark).rgb());
    }

    // The link opens on a press and a release of the left button over the
    // address, and only then.
    void mailLinkOpensExactlyItsAddress_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("opened");
        QTest::newRow("click on the address") << "click" << 1;
        QTest::newRow("release outside the address") << "outside" << 0;
        QTest::newRow("right button") << "right" << 0;
    }

    void mailLinkOpensExactlyItsAddress() {
        QFETCH(QString, how);
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("mailto", &recorder, "open");
        TfrmAbout about;
        about.show();
        QLabel* link = about.lblEMail;
        if (how == "click") {
            QTest::mouseClick(link, Qt::LeftButton);
        } else if (how == "outside") {
            QTest::mousePress(link, Qt::LeftButton, {}, link->rect().center());
            QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 20, -10));
        } else {
            QTest::mouseClick(link, Qt::RightButton);
        }
        QDesktopServices::unsetUrlHandler("mailto");
        QTEST(static_cast<int>(recorder.urls.size()), "opened");
        if (!recorder.urls.isEmpty()) {
            QCOMPARE(recorder.urls.first().toString(), "mailto:" + link->text());
        }
        QVERIFY(about.isVisible());
    }

    void handCursorIsInstalledAtEveryCreation() {
        for (int run = 0; run < 2; ++run) {
            InstallCursor(TfrmAbout::kHandCursor, QCursor(Qt::WaitCursor));
            TfrmAbout about;
            QCOMPARE(about.lblEMail->cursor().shape(), Qt::BitmapCursor);
            QCOMPARE(InstalledCursor(TfrmAbout::kHandCursor).shape(), Qt::BitmapCursor);
            QCOMPARE(about.lblEMail->cursor().hotSpot(), QPoint(5, 0));
        }
    }

    void aboutClosesByOkEnterAndTitleBarButNotEscape_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("closes");
        QTest::newRow("OK") << "ok" << true;
        QTest::newRow("Enter") << "enter" << true;
        QTest::newRow("title bar") << "close" << true;
        QTest::newRow("Escape") << "escape" << false;
    }

    void aboutClosesByOkEnterAndTitleBarButNotEscape() {
        QFETCH(QString, how);
        TfrmAbout about;
        bool visibleAfter = true;
        RunModal(about, [&] {
            if (how == "ok") {
                QTest::mouseClick(about.btnOK, Qt::LeftButton);
            } else if (how == "enter") {
                QTest::keyClick(&about, Qt::Key_Return);
            } else if (how == "close") {
                about.close();
            } else {
                QTest::keyClick(&about, Qt::Key_Escape);
            }
            visibleAfter = about.isVisible();
        });
        QFETCH(bool, closes);
        QCOMPARE(!visibleAfter, closes);
    }
};

QTEST_MAIN(ProcListTest)
#include "tst_proclist.moc"

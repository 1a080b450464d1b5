// The structure reader on its own: how it closes what the code leaves
// open, where it must not close anything, and the names it keeps.
#include "documents/TextDocument.h"
#include "features/Navigation.h"
#include "features/Outline.h"
#include "features/SourceStructure.h"
#include "features/structure/TypeOpenings.h"

#include <QtTest>

using namespace kestrel::lsp;

namespace {

// The line (from 1) that `offset` stands on, or "-" for none.
QString LineOf(std::string_view text, size_t offset) {
    if (offset == SourceStructure::kNone) {
        return QStringLiteral("-");
    }
    const auto line = std::count(text.begin(), text.begin() + static_cast<long>(offset), '\n');
    return QString::number(line + 1);
}

// What the reader found, a fact a line: each type with the lines it spans
// (`!` when it was closed where its `end` was missing), each routine with
// its owner and, for a body, the line of its `end` ("-" for none), and the
// units used.
QStringList Facts(const std::string& text) {
    const SourceStructure structure = ReadSourceStructure(text);
    QStringList facts;
    for (size_t t = 0; t < structure.types.size(); ++t) {
        const SourceStructure::TypeSpan& type = structure.types[t];
        facts << QStringLiteral("type %1 %2-%3%4")
                     .arg(QString::fromStdString(structure.TypePath(static_cast<int>(t))))
                     .arg(LineOf(text, type.nameStart), LineOf(text, type.end))
                     .arg(type.broken ? "!" : "");
    }
    for (const SourceStructure::Routine& routine : structure.routines) {
        const QString owner =
            routine.owner < 0 ? QString()
                              : " in " + QString::fromStdString(structure.TypePath(routine.owner));
        facts << QStringLiteral("%1 %2%3%4%5")
                     .arg(routine.body ? "body" : "heading")
                     .arg(QString::fromStdString(
                              routine.qualifier.empty() ? "" : routine.qualifier + "."),
                          QString::fromStdString(routine.name), owner,
                          routine.body ? " to " + LineOf(text, routine.bodyEnd) : QString());
    }
    if (!structure.uses.empty()) {
        QStringList uses;
        for (const std::string& unit : structure.uses) {
            uses << QString::fromStdString(unit);
        }
        facts << "uses " + uses.join(',');
    }
    return facts;
}

} // namespace

class SourceStructureTest : public QObject {
    Q_OBJECT

private slots:
    void recovery_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("facts");

        // Types left open.
        QTest::newRow("class without end, closed by implementation")
            << "unit U;\ninterface\ntype\n  TA = class\n    procedure P;\nimplementation\n"
               "procedure TA.P;\nbegin\nend;\nend."
            << QStringList{"type TA 4-6!", "heading P in TA", "body TA.P to 9"};
        QTest::newRow("class without end, closed by the next type at its column")
            << "type\n  TA = class\n    X: Integer;\n  TB = record\n    Y: Integer;\n  end;\n"
            << QStringList{"type TA 2-4!", "type TB 4-6"};
        QTest::newRow("class without end, closed by var left of its name")
            << "type\n  TA = class\n    procedure P;\nvar\n  V: Integer;\n"
            << QStringList{"type TA 2-4!", "heading P in TA"};
        QTest::newRow("class without end, closed by a qualified heading")
            << "type\n  TA = class\n    procedure P;\nprocedure TA.P;\nbegin\nend;\n"
            << QStringList{"type TA 2-4!", "heading P in TA", "body TA.P to 6"};
        QTest::newRow("class without end, closed by begin")
            << "program X;\ntype\n  TA = class\n    F: Integer;\nbegin\nend.\n"
            << QStringList{"type TA 3-5!"};
        QTest::newRow("an inner record's end is not the class's")
            << "type\n  TA = class\n    R: record X: Integer; end;\n    procedure P;\n  end;\n"
            << QStringList{"type TA 2-5", "heading P in TA"};
        QTest::newRow("nested class inside its outer class")
            << "type\n  TA = class\n  type\n    TB = class\n      procedure Q;\n    end;\n"
               "  public\n    procedure P;\n  end;\n"
            << QStringList{"type TA 2-9", "type TA.TB 4-6", "heading Q in TA.TB",
                           "heading P in TA"};
        QTest::newRow("routine body without end, closed by the next heading at its column")
            << "procedure A;\nbegin\n  X;\nprocedure B;\nbegin\nend;\n"
            << QStringList{"body A to -", "body B to 6"};

        QTest::newRow("a record local to a routine after other bodies")
            << "procedure A;\nbegin\nend;\nprocedure B;\ntype\n  TR = record\n    X: Integer;\n"
               "  end;\nbegin\nend;\n"
            << QStringList{"type TR 6-8", "body A to 3", "body B to 10"};

        // Method resolution clauses.
        QTest::newRow("resolution clause stays a member")
            << "type\n  TA = class(TObject, IFoo)\n    function IFoo.Bar = Baz;\n"
               "    procedure P;\n  end;\n"
            << QStringList{"type TA 2-5", "heading P in TA"};
        QTest::newRow("resolution clause of a generic interface")
            << "type\n  TA = class(TObject, IFoo<Integer>)\n"
               "    procedure IFoo<Integer>.Bar = Baz;\n    procedure P;\n  end;\n"
            << QStringList{"type TA 2-5", "heading P in TA"};
        QTest::newRow("qualified heading that is no resolution clause closes the class")
            << "type\n  TA = class\n    function IFoo.Bar: Integer;\n  end;\n"
            << QStringList{"type TA 2-3!", "body IFoo.Bar to -"};

        // Generics.
        QTest::newRow("generic class and its method's body")
            << "type\n  TList<T> = class\n    function Get(I: Integer): T;\n  end;\n"
               "implementation\nfunction TList<T>.Get(I: Integer): T;\nbegin\nend;\n"
            << QStringList{"type TList 2-4", "heading Get in TList", "body TList.Get to 8"};
        QTest::newRow("generic method heading keeps its class open")
            << "type\n  TA = class\n    function From<T>(X: T): T;\n    procedure P;\n  end;\n"
            << QStringList{"type TA 2-5", "heading From in TA", "heading P in TA"};
        QTest::newRow("generic record of two parameters")
            << "type\n  TPair<K, V> = record\n    Key: K;\n  end;\n"
            << QStringList{"type TPair 2-4"};

        // What opens nothing.
        QTest::newRow("forward class, class reference and procedural types")
            << "type\n  TA = class;\n  TC = class of TA;\n  TP = procedure(X: Integer) of object;\n"
               "  TF = reference to function: Integer;\n"
            << QStringList{};
        QTest::newRow("forward and external routines have no body")
            << "procedure A; forward;\nfunction B: Integer; external 'lib';\nprocedure "
               "C;\nbegin\nend;\n"
            << QStringList{"heading A", "heading B", "body C to 5"};
    }
    void recovery() {
        QFETCH(QString, text);
        QFETCH(QStringList, facts);
        QCOMPARE(Facts(text.toStdString()), facts);
    }

    // A dotted unit name is one name, in `uses`, in a file's name and in
    // the outline, so that a used unit is known by either.
    void dottedUnitNames_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("facts");
        QTest::newRow("dotted and plain, with in")
            << "uses System.SysUtils, Classes in 'classes.pas', Generics . Collections;\n"
            << QStringList{"uses system.sysutils,classes,generics.collections"};
        QTest::newRow("cut off by a heading") << "interface\nuses Vcl.Forms\nprocedure P;\n"
                                              << QStringList{"heading P", "uses vcl.forms"};
    }
    void dottedUnitNames() {
        QFETCH(QString, text);
        QFETCH(QStringList, facts);
        QCOMPARE(Facts(text.toStdString()), facts);
    }
    void unitOfPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("unit");
        QTest::newRow("plain") << "/src/Classes.pas"
                               << "classes";
        QTest::newRow("dotted") << "/src/System.SysUtils.pas"
                                << "system.sysutils";
        QTest::newRow("dotted folder") << "/src/v1.2/Forms.pp"
                                       << "forms";
    }
    void unitOfPath() {
        QFETCH(QString, path);
        QFETCH(QString, unit);
        QCOMPARE(QString::fromStdString(UnitOfPath(path.toStdString())), unit);
    }
    // A reading for the types alone finds the same types, spans and all.
    void typeSpansAlone_data() { recovery_data(); }
    void typeSpansAlone() {
        QFETCH(QString, text);
        const std::string source = text.toStdString();
        std::vector<SourceStructure::TypeSpan> whole = ReadSourceStructure(source).types;
        for (SourceStructure::TypeSpan& type : whole) {
            type.detail.clear();
        }
        QVERIFY(ReadSourceStructure(source, Checkpoints::None, StructureParts::TypeSpans).types ==
                whole);
    }
    // Where the last type may open, told at a glance: a text with no such
    // place reads to no types, and every type opens before it.
    void lastTypeOpening_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("last"); // -1 for none
        QTest::newRow("constants and comparisons")
            << "const X = 5; S = 'class';\nbegin if A = B then C := D; E <= recordcount end." << -1;
        QTest::newRow("a word that only begins like one") << "X = classes;\nY = Objects.Z;" << -1;
        QTest::newRow("no equals sign at all") << "procedure P; begin end;" << -1;
        QTest::newRow("equals sign last") << "X =" << -1;
        QTest::newRow("class, then a constant") << "type TA = class end;\nconst C = 1;" << 8;
        QTest::newRow("packed record, no blanks") << "type TA=packed record X: Byte end;" << 7;
        QTest::newRow("any case, across a line break") << "type\n  I = \n  INTERFACE end;" << 9;
        QTest::newRow("a comment after the sign") << "type TA = {c} class end;" << 8;
        QTest::newRow("a line comment after the sign") << "type TA = // c\n object end;" << 8;
        QTest::newRow("type helper")
            << "type TH = type helper for Integer\n procedure P;\n end;" << 8;
    }
    void lastTypeOpening() {
        QFETCH(QString, text);
        QFETCH(int, last);
        const std::string source = text.toStdString();
        const size_t found = LastTypeOpening(source);
        QCOMPARE(found == SourceStructure::kNone ? -1 : static_cast<int>(found), last);
        QCOMPARE(ReadSourceStructure(source).types.empty(), last < 0);
    }
    void typesOpenBeforeTheLastOpening_data() { recovery_data(); }
    void typesOpenBeforeTheLastOpening() {
        QFETCH(QString, text);
        const std::string source = text.toStdString();
        const size_t last = LastTypeOpening(source);
        for (const SourceStructure::TypeSpan& type : ReadSourceStructure(source).types) {
            QVERIFY(last != SourceStructure::kNone && type.nameEnd <= last);
        }
    }
    // After a type or routine closes, the next line's first token is a
    // checkpoint, also where the tokens before it were passed over unread.
    void checkpointsAfterWhatCloses() {
        const std::string text = "unit U;\ninterface\nimplementation\nprocedure A;\nbegin\n"
                                 "  X := F(1, 'a');\nend;\nprocedure B;\nbegin\n  Y := 2;\n"
                                 "end;\ntype\n  TR = record\n    Z: Integer;\n  end;\nend.\n";
        QStringList lines;
        for (const SourceStructure::Checkpoint& checkpoint :
             ReadSourceStructure(text).checkpoints) {
            lines << LineOf(text, checkpoint.token.start);
        }
        QCOMPARE(lines, QStringList({"2", "8", "12", "16"}));
    }
    // The index's outline has the full one's entries (their details aside),
    // also where lines end in a lone CR, which the rows are read otherwise
    // for.
    void outlineWithoutDetails_data() {
        QTest::addColumn<bool>("loneCarriageReturns");
        QTest::newRow("LF") << false;
        QTest::newRow("lone CR") << true;
    }
    void outlineWithoutDetails() {
        QFETCH(bool, loneCarriageReturns);
        QFile file(QStringLiteral(KESTREL_SAMPLES_DIR "/Unit1.pas"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::string text = file.readAll().toStdString();
        if (loneCarriageReturns) {
            std::replace(text.begin(), text.end(), '\n', '\r');
        }
        const TextDocument document(text);
        const std::vector<OutlineSymbol> whole = BuildOutline(document);
        const std::vector<OutlineSymbol> lean = BuildOutlineWithoutDetails(document);
        const auto same = [](auto& self, const std::vector<OutlineSymbol>& a,
                             const std::vector<OutlineSymbol>& b) -> bool {
            return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                              [&](const OutlineSymbol& x, const OutlineSymbol& y) {
                                  return x.name == y.name && x.kind == y.kind && x.role == y.role &&
                                         x.line == y.line && x.selectionStart == y.selectionStart &&
                                         x.selectionEnd == y.selectionEnd &&
                                         self(self, x.children, y.children);
                              });
        };
        QVERIFY(!whole.empty());
        QVERIFY(same(same, lean, whole));
    }
    void outlineShowsTheWholeUnitName() {
        const TextDocument document("unit tests.generics.stdcollections;\ninterface\nend.\n");
        const std::vector<OutlineSymbol> outline = BuildOutline(document);
        QVERIFY(!outline.empty());
        QCOMPARE(outline.front().name, std::string("tests.generics.stdcollections"));
        QCOMPARE(outline.front().selectionStart, size_t{5});
        QCOMPARE(outline.front().selectionEnd, size_t{34});
    }
};

QTEST_GUILESS_MAIN(SourceStructureTest)
#include "tst_sourcestructure.moc"

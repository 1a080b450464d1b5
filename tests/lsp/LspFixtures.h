// What the tests of kestrel-lsp share: a session with the server under
// test, the units they open, and ways to put its answers in comparable text.
#pragma once

#include "LspSession.h"
#include "features/Outline.h"
#include "features/SourceStructure.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <sys/resource.h>

namespace lsptest {

using namespace kestrel::lsp;

inline QJsonObject Uri(const QString& uri) {
    return {{"textDocument", QJsonObject{{"uri", uri}}}};
}

inline QJsonObject Position(int line, int character) {
    return {{"line", line}, {"character", character}};
}

inline QJsonObject Range(int line, int from, int to) {
    return {{"start", Position(line, from)}, {"end", Position(line, to)}};
}

// Two units that use each other's routines: nested, overloaded and record
// methods, and a class whose `end` was commented out.
inline const QString kShapes = R"(unit Shapes;

interface

uses Helpers;

type
  TOuter = class
  public
    type
      TInner = class
        procedure Step;
      end;
    procedure Run(A: Integer = 0); overload;
    procedure Run(const S: string); overload;
    function Count(Items: array of Integer;
      Limit: Integer): Integer;
  end;
  TPoint = record
    X, Y: Integer;
	procedure Move(DX: Integer);
  end;
  TBroken = class
    procedure Lost; { end; }
  TAfter = class
    procedure Kept;
  end;

procedure Plain(X: Integer);

implementation

{$region 'steps'}
procedure TOuter.TInner.Step;
begin
end;
{$endregion}

procedure TOuter.Run(A: Integer);
begin
  Plain(A);
end;

procedure TOuter.Run(const S: string);
begin
  if S = '' then
  begin
    Run(0);
  end;
end;

function TOuter.Count(Items: array of Integer; Limit: Integer): Integer;
begin
  Result := Helper(Limit);
end;

procedure TPoint.Move(DX: Integer);
begin
  X := X + DX;
end;

procedure TAfter.Kept;
begin
end;

procedure Plain(X: Integer);
begin
  TOuter.Create.Count([], X);
end;

end.
)";

inline const QString kHelpers = R"(unit Helpers;

interface

function Helper(X: Integer): Integer;
procedure Plain(X: Integer);

implementation

function Helper(X: Integer): Integer;
begin
  Result := X;
end;

procedure Plain(X: Integer);
begin
end;

end.
)";

// "Unit:line:character" of the place that '|' marks in a needle found once
// in one of the units: `Shapes:TOuter.|Run(const`.
// A unit whose IMPLEMENTATION keyword stands in an include file: its
// qualified headings are still implementations. Neither a generic method's
// `<T>` nor an interface method's resolution clause ends the class.
inline const QString kSplit = R"(unit Split;

interface

type
  TSplit = class(TObject, IRunner)
    generic class function Make<T>(const A: T): TSplit; static;
    procedure IRunner.Run = Go;
    procedure Go;
  end;

{$I split_implementation.inc}

procedure TSplit.Go;
begin
end;

generic class function TSplit.Make<T>(const A: T): TSplit;
begin
end;

end.
)";

inline QString Place(const QString& needle) {
    const qsizetype colon = needle.indexOf(':');
    const QString unit = needle.left(colon);
    QString text = needle.mid(colon + 1);
    const qsizetype bar = text.indexOf('|');
    text.remove(bar, 1);
    const QString& source = unit == "Shapes" ? kShapes : unit == "Split" ? kSplit : kHelpers;
    const qsizetype at = source.indexOf(text);
    if (at < 0 || source.indexOf(text, at + 1) >= 0) {
        return "not found once: " + needle;
    }
    const qsizetype place = at + bar;
    const qsizetype lineStart = source.lastIndexOf('\n', place - 1) + 1;
    return QStringLiteral("%1:%2:%3")
        .arg(unit)
        .arg(source.left(place).count('\n'))
        .arg(place - lineStart);
}

// Everything a structure holds but its checkpoints, one fact a line.
inline QStringList Facts(const SourceStructure& structure) {
    QStringList facts;
    for (const auto& t : structure.types) {
        facts << QStringLiteral("type %1 %2-%3 end %4 broken %5 kind %6 `%7` parent %8")
                     .arg(QString::fromStdString(t.name))
                     .arg(t.nameStart)
                     .arg(t.nameEnd)
                     .arg(t.end)
                     .arg(t.broken)
                     .arg(static_cast<int>(t.kind))
                     .arg(QString::fromStdString(t.detail))
                     .arg(t.parent);
    }
    for (const auto& r : structure.routines) {
        facts << QStringLiteral("routine %1 %2.%3 %4-%5 name %6-%7 (%8) owner %9 body %10 %11")
                     .arg(static_cast<int>(r.kind))
                     .arg(QString::fromStdString(r.qualifier), QString::fromStdString(r.name))
                     .arg(r.start)
                     .arg(r.end)
                     .arg(r.nameStart)
                     .arg(r.nameEnd)
                     .arg(QString::fromStdString(r.parameters))
                     .arg(r.owner)
                     .arg(r.body)
                     .arg(r.bodyEnd);
    }
    facts << QStringLiteral("sections %1 %2 %3")
                 .arg(structure.interfaceStart)
                 .arg(structure.implementationStart)
                 .arg(structure.sectionsEnd);
    for (const std::string& unit : structure.uses) {
        facts << "uses " + QString::fromStdString(unit);
    }
    for (const auto& c : structure.comments) {
        facts << QStringLiteral("comment %1-%2").arg(c.start).arg(c.end);
    }
    for (const auto& r : structure.regions) {
        facts << QStringLiteral("region %1-%2").arg(r.start).arg(r.end);
    }
    return facts;
}

// An outline, an entry a line, children indented.
inline void Describe(const std::vector<OutlineSymbol>& symbols, QStringList& out, int depth = 0) {
    for (const OutlineSymbol& symbol : symbols) {
        out << QStringLiteral("%1%2 `%3` %4 %5 line %6 %7-%8")
                   .arg(QString(depth * 2, ' '), QString::fromStdString(symbol.name),
                        QString::fromStdString(symbol.detail))
                   .arg(static_cast<int>(symbol.kind))
                   .arg(static_cast<int>(symbol.role))
                   .arg(symbol.line)
                   .arg(symbol.selectionStart)
                   .arg(symbol.selectionEnd);
        Describe(symbol.children, out, depth + 1);
    }
}

inline QStringList Describe(const std::vector<OutlineSymbol>& symbols) {
    QStringList out;
    Describe(symbols, out);
    return out;
}

// The first fact where two lists part, or nothing.
inline QString FirstDifference(const QStringList& a, const QStringList& b) {
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QString x = i < a.size() ? a[i] : "(none)";
        const QString y = i < b.size() ? b[i] : "(none)";
        if (x != y) {
            return QStringLiteral("fact %1: %2 | %3").arg(i).arg(x, y);
        }
    }
    return {};
}

// The server under test, initialized without a workspace.
class Session : public LspSession {
public:
    // `limitAddressSpace`, when not 0, is the server's address-space limit.
    explicit Session(rlim_t limitAddressSpace = 0)
        : LspSession(KESTREL_LSP_PATH, [limitAddressSpace] {
              if (limitAddressSpace != 0) {
                  const rlimit limit{limitAddressSpace, limitAddressSpace};
                  ::setrlimit(RLIMIT_AS, &limit);
              }
          }) {}
    QJsonObject Initialize(const QJsonObject& capabilities = {}) {
        return LspSession::Initialize(
            {{"rootUri", QJsonValue::Null}, {"capabilities", capabilities}});
    }
    // The server's notifications received so far of `method`.
    QList<QJsonObject> Notifications(const QString& method) const {
        QList<QJsonObject> found;
        for (const QJsonObject& message : Received()) {
            if (message.value("method") == method && !message.contains("id")) {
                found << message;
            }
        }
        return found;
    }
};

// "kind name line:from-to" of each symbol's selection, depth-first, with
// children indented: a whole outline in one comparable text.
inline void Describe(const QJsonArray& symbols, QStringList& out, const QString& indent = {}) {
    for (const QJsonValue& value : symbols) {
        const QJsonObject symbol = value.toObject();
        const QJsonObject selection = symbol.value("selectionRange").toObject();
        const QJsonObject range = symbol.value("range").toObject();
        QString line = QStringLiteral("%1%2 %3 %4:%5-%6")
                           .arg(indent)
                           .arg(symbol.value("kind").toInt())
                           .arg(symbol.value("name").toString())
                           .arg(selection["start"]["line"].toInt())
                           .arg(selection["start"]["character"].toInt())
                           .arg(selection["end"]["character"].toInt());
        if (symbol.contains("detail")) {
            line += " | " + symbol.value("detail").toString();
        }
        if (range["start"]["line"] != selection["start"]["line"] ||
            range["start"]["character"].toInt() != 0) {
            line += " (range does not hold the heading's line)";
        }
        out << line;
        Describe(symbol.value("children").toArray(), out, indent + "  ");
    }
}

inline QStringList Outline(const QJsonArray& symbols) {
    QStringList out;
    Describe(symbols, out);
    return out;
}

inline int ErrorCodeOf(const QJsonObject& answer) {
    return answer.value("error").toObject().value("code").toInt();
}

inline QJsonArray EditsOf(const QJsonObject& action, const QString& uri) {
    return action["edit"]["changes"][uri].toArray();
}

// Applies text edits (all on distinct places) to a UTF-16 text whose
// positions are counted in UTF-16 units.
inline QString Apply(QString text, const QJsonArray& edits) {
    QList<QJsonObject> sorted;
    for (const QJsonValue& edit : edits) {
        sorted << edit.toObject();
    }
    const auto offset = [&](const QJsonObject& position) {
        qsizetype at = 0;
        for (int line = 0; line < position["line"].toInt(); ++line) {
            at = text.indexOf('\n', at) + 1;
        }
        return at + position["character"].toInt();
    };
    std::sort(sorted.begin(), sorted.end(), [&](const QJsonObject& a, const QJsonObject& b) {
        return offset(a["range"]["start"].toObject()) > offset(b["range"]["start"].toObject());
    });
    for (const QJsonObject& edit : sorted) {
        const qsizetype from = offset(edit["range"]["start"].toObject());
        const qsizetype to = offset(edit["range"]["end"].toObject());
        text.replace(from, to - from, edit["newText"].toString());
    }
    return text;
}

inline const QString kSample = QStringLiteral(KESTREL_SAMPLES_DIR "/Unit1.pas");

} // namespace lsptest

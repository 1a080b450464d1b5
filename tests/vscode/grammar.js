// The extension's Pascal grammar, run through VS Code's own TextMate engine
// (from the code-server install): each case is a line, a piece of it, and a
// scope that piece must carry (or must not, with `not`).
//
//   node grammar.js TOOLS_DIR GRAMMAR_FILE
'use strict';
const fs = require('fs');
const path = require('path');

const [tools, grammarFile] = process.argv.slice(2);
const modules = path.join(tools, 'node_modules', 'code-server', 'lib', 'vscode', 'node_modules');
const textmate = require(path.join(modules, 'vscode-textmate'));
const oniguruma = require(path.join(modules, 'vscode-oniguruma'));

const cases = [
    ['UNIT Shapes;', 'UNIT', 'keyword'],
    ['  Begin x := 1; End;', 'Begin', 'keyword.control'],
    ['// a line comment', '// a line comment', 'comment.line'],
    ['{ a brace comment }', ' a brace comment ', 'comment.block'],
    ['(* a paren comment *)', ' a paren comment ', 'comment.block'],
    ['x := 1; {//*} mark', '{//*', 'comment.block.bookmark'],
    ['{$IFDEF FPC}', 'IFDEF', 'keyword.control.directive'],
    ['{$IFDEF FPC}', 'IFDEF', 'comment', 'not'],
    ["s := 'it''s';", "''", 'constant.character.escape'],
    ["s := 'begin';", 'begin', 'string.quoted', ],
    ["s := 'a'#13#10'b';", '#13', 'constant.character'],
    ['x := $FF + %101 + &17 + 1.5e3;', '$FF', 'constant.numeric.hex'],
    ['x := $FF + %101 + &17 + 1.5e3;', '%101', 'constant.numeric.binary'],
    ['x := $FF + %101 + &17 + 1.5e3;', '&17', 'constant.numeric.octal'],
    ['x := $FF + %101 + &17 + 1.5e3;', '1.5e3', 'constant.numeric.decimal'],
    ['function TShape.GetArea: Double;', 'TShape.GetArea', 'entity.name.function'],
    ['  Beginning := 2;', 'Beginning', 'keyword', 'not'],
];

async function main() {
    const wasm = fs.readFileSync(path.join(modules, 'vscode-oniguruma', 'release', 'onig.wasm')).buffer;
    await oniguruma.loadWASM(wasm);
    const registry = new textmate.Registry({
        onigLib: Promise.resolve({
            createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
            createOnigString: (text) => new oniguruma.OnigString(text),
        }),
        loadGrammar: async () => textmate.parseRawGrammar(fs.readFileSync(grammarFile, 'utf8'), grammarFile),
    });
    const grammar = await registry.loadGrammar('source.pascal.kestrel');
    let failures = 0;
    for (const [line, piece, scope, negate] of cases) {
        const { tokens } = grammar.tokenizeLine(line, textmate.INITIAL);
        const start = line.indexOf(piece);
        const scopes = tokens.filter((token) => token.startIndex < start + piece.length && token.endIndex > start)
            .flatMap((token) => token.scopes);
        const has = scopes.some((name) => name.startsWith(scope));
        if (has === (negate === 'not')) {
            ++failures;
            console.log(`FAIL: in ${JSON.stringify(line)}, ${JSON.stringify(piece)} ${negate ? 'has' : 'lacks'} ${scope}: ${[...new Set(scopes)].join(' ')}`);
        }
    }
    console.log(`grammar: ${cases.length - failures} passed, ${failures} failed`);
    process.exit(failures === 0 ? 0 : 1);
}

main();

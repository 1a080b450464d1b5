// kestrel-lsp's transport as an editor meets it: framing, the JSON-RPC
// envelope, the session's lifecycle and exit codes, cancellation, bad
// parameters and bad input of every kind, and the memory a session needs.
#include "LspFixtures.h"
#include "documents/TextDocument.h"
#include "index/LocalPaths.h"
#include "protocol/answers/OutlineJson.h"
#include "protocol/answers/SymbolAnswers.h"
#include "server/OutlineAnswers.h"

#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace kestrel::lsp;
using namespace lsptest;

class TransportTest : public QObject {
    Q_OBJECT

private slots:
    void framing_data() {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QList<int>>("errorCodes"); // in order; 0 for a result

        const QByteArray init = LspSession::Frame(
            QJsonObject{{"id", 1},
                        {"method", "initialize"},
                        {"params", QJsonObject{{"capabilities", QJsonObject{}}}}});
        const QByteArray symbols =
            LspSession::Frame(QJsonObject{{"id", 2},
                                          {"method", "textDocument/documentSymbol"},
                                          {"params", Uri(LspSession::FileUri(kSample))}});
        QList<QByteArray> bytes;
        for (const char c : init + symbols) {
            bytes << QByteArray(1, c);
        }
        QTest::newRow("one byte a write") << bytes << QList<int>{0, 0};
        QTest::newRow("two messages in one write")
            << QList<QByteArray>{init + symbols} << QList<int>{0, 0};
        QTest::newRow("other header fields, any case")
            << QList<QByteArray>{"content-type: application/vscode-jsonrpc; charset=utf-8\r\n" +
                                 QByteArray(init).replace("Content-Length", "CONTENT-LENGTH")}
            << QList<int>{0};
        QTest::newRow("missing Content-Length")
            << QList<QByteArray>{"Content-Type: x\r\n\r\n" + init} << QList<int>{-32700, 0};
        QTest::newRow("Content-Length not a number")
            << QList<QByteArray>{"Content-Length: -5\r\n\r\n" + init} << QList<int>{-32700, 0};
        QTest::newRow("body not JSON")
            << QList<QByteArray>{LspSession::Frame(QByteArray("{\"id\": 1, ")) + init}
            << QList<int>{-32700, 0};
        QTest::newRow("body not an object")
            << QList<QByteArray>{LspSession::Frame(QByteArray("[1, 2]")) + init}
            << QList<int>{-32600, 0};
        QTest::newRow("no method")
            << QList<QByteArray>{LspSession::Frame(QByteArray(R"({"jsonrpc":"2.0","id":5})")) +
                                 init}
            << QList<int>{-32600, 0};
        QTest::newRow("request before initialize")
            << QList<QByteArray>{symbols + init} << QList<int>{-32002, 0};
        QTest::newRow("Content-Length over 64 MB")
            << QList<QByteArray>{"Content-Length: 67108865\r\n\r\n"} << QList<int>{-32700};
    }

    void framing() {
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QList<int>, errorCodes);
        Session session;
        for (const QByteArray& bytes : writes) {
            session.Write(bytes);
        }
        for (const int expected : errorCodes) {
            const QJsonObject answer = session.Receive();
            QVERIFY2(!answer.isEmpty(), "no answer");
            QCOMPARE(ErrorCodeOf(answer), expected);
            QCOMPARE(answer.contains("result"), expected == 0);
        }
        // The server reads on, and ends as soon as its input does.
        QCOMPARE(session.ExitCode(true), 1);
    }

    void lifecycle() {
        Session session;
        const QJsonObject init = session.Initialize();
        const QJsonObject capabilities = init.value("capabilities").toObject();
        QCOMPARE(capabilities.value("positionEncoding").toString(), "utf-16");
        QCOMPARE(capabilities["textDocumentSync"]["change"].toInt(), 2);
        QVERIFY(capabilities.contains("documentSymbolProvider"));
        QVERIFY(capabilities.contains("codeActionProvider"));
        QCOMPARE(capabilities.value("workspaceSymbolProvider"), true);
        QCOMPARE(capabilities["workspace"]["workspaceFolders"]["changeNotifications"], true);
        for (const char* provider :
             {"declarationProvider", "implementationProvider", "definitionProvider",
              "hoverProvider", "foldingRangeProvider"}) {
            QCOMPARE(capabilities.value(provider), true);
        }
        QCOMPARE(capabilities.size(), 11); // nothing that is not implemented
        QCOMPARE(init["serverInfo"]["name"].toString(), "kestrel-lsp");
        QCOMPARE(init["serverInfo"]["version"].toString(), "1.02");

        QCOMPARE(ErrorCodeOf(session.Answer(session.Send("initialize"))), -32600);
        QCOMPARE(ErrorCodeOf(session.Answer(session.Send("textDocument/completion"))), -32601);
        session.Notify("workspace/didChangeConfiguration"); // ignored
        session.Notify("$/setTrace", {{"value", "messages"}});
        const QJsonObject answer = session.Answer(session.Send("shutdown"));
        QVERIFY(answer.contains("result") && answer.value("result").isNull());
        QCOMPARE(session.Receive().value("method").toString(), "$/logTrace");
        QCOMPARE(ErrorCodeOf(session.Answer(session.Send("textDocument/documentSymbol",
                                                         Uri(LspSession::FileUri(kSample))))),
                 -32600);
        session.Notify("exit");
        QCOMPARE(session.ExitCode(false), 0);
    }

    // A length the server will not read ends it at once, with a message,
    // while its input is still open; a long one it skips keeps it serving.
    void lengthItWillNotRead() {
        Session session;
        session.Initialize();
        session.Write("Content-Length: 1000000000000\r\n\r\n{}");
        QCOMPARE(session.ExitCode(false), 1);
        QVERIFY(session.ErrorOutput().contains("Content-Length 1000000000000"));
    }

    void exitCodes_data() {
        QTest::addColumn<bool>("shutdown");
        QTest::addColumn<bool>("exit"); // else the input is closed
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("nullParams"); // "params": null, as Emacs's client sends
        QTest::newRow("shutdown, exit") << true << true << 0 << false;
        QTest::newRow("shutdown, exit, params null") << true << true << 0 << true;
        QTest::newRow("exit without shutdown") << false << true << 1 << false;
        QTest::newRow("input closed") << false << false << 1 << false;
        QTest::newRow("input closed after shutdown") << true << false << 0 << false;
    }

    void exitCodes() {
        QFETCH(bool, shutdown);
        QFETCH(bool, exit);
        QFETCH(bool, nullParams);
        Session session;
        session.Initialize();
        if (shutdown && nullParams) {
            session.Write(LspSession::Frame(
                QJsonObject{{"id", 900}, {"method", "shutdown"}, {"params", QJsonValue::Null}}));
            const QJsonObject answer = session.Answer(900);
            QVERIFY2(answer.contains("result") && answer.value("result").isNull(),
                     QJsonDocument(answer).toJson().constData());
        } else if (shutdown) {
            QVERIFY(session.Result("shutdown").isNull());
        }
        if (exit && nullParams) {
            session.Write(
                LspSession::Frame(QJsonObject{{"method", "exit"}, {"params", QJsonValue::Null}}));
        } else if (exit) {
            session.Notify("exit");
        }
        QTEST(session.ExitCode(!exit), "code");
    }

    // A request and its cancellation that arrive together: the request is
    // answered as cancelled, and the next one normally.
    void cancelledRequest() {
        Session session;
        session.Initialize();
        session.Write(
            LspSession::Frame(QJsonObject{{"id", 70},
                                          {"method", "textDocument/documentSymbol"},
                                          {"params", Uri(LspSession::FileUri(kSample))}}) +
            LspSession::Frame(
                QJsonObject{{"method", "$/cancelRequest"}, {"params", QJsonObject{{"id", 70}}}}));
        QCOMPARE(ErrorCodeOf(session.Answer(70)), -32800);
        QVERIFY(!session.Symbols(LspSession::FileUri(kSample)).isEmpty());
    }

    // A number that is no position, below zero, too large or not whole, is
    // named with the range it must lie in.
    void invalidParamsAreNamed() {
        Session session;
        session.Initialize();
        for (const double character : {-1.0, 1099511627776.0, 0.5}) {
            const QJsonObject answer = session.Answer(session.Send(
                "textDocument/codeAction",
                {{"textDocument", QJsonObject{{"uri", LspSession::FileUri(kSample)}}},
                 {"range",
                  QJsonObject{{"start", QJsonObject{{"line", 0}, {"character", character}}},
                              {"end", Position(0, 0)}}}}));
            QCOMPARE(ErrorCodeOf(answer), -32602);
            QVERIFY2(answer["error"]["message"].toString().contains(
                         "'character' must be an integer from 0 to 2147483647"),
                     qPrintable(answer["error"]["message"].toString()));
        }
    }
    // Input no client should send: each gets an error answer (or, for a
    // lone surrogate, which stands for '?', a plain one), and the server
    // reads on.
    void badInput_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("id");      // the answer's id as JSON text
        QTest::addColumn<QString>("message"); // a part of the error message
        QTest::newRow("garbage") << QByteArray("\x01{]]") << -32700 << "null"
                                 << "";
        QTest::newRow("a parameter of another type")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"textDocument/documentSymbol",)"
                          R"("params":{"textDocument":{"uri":5}}})")
            << -32602 << "1"
            << "'uri' must be a string";
        QTest::newRow("an id beyond 2^53, answered exactly")
            << QByteArray(R"({"jsonrpc":"2.0","id":9007199254740993,"method":"kestrel/none"})")
            << -32601 << "9007199254740993"
            << "";
        QTest::newRow("a position beyond 2^53")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"textDocument/hover","params":)"
                          R"({"textDocument":{"uri":"SAMPLE"},)"
                          R"("position":{"line":9007199254740993,"character":0}}})")
            << -32602 << "1"
            << "'line' must be an integer";
        QTest::newRow("100,000 [")
            << R"({"jsonrpc":"2.0","id":1,"method":"x","params":)" + QByteArray(100000, '[')
            << -32700 << "null"
            << "";
        QTest::newRow("duplicate keys: the last counts")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"id":2,"method":"shutdown",)"
                          R"("method":"kestrel/none"})")
            << -32601 << "2"
            << "kestrel/none";
        QTest::newRow("invalid UTF-8 in a string")
            << QByteArray("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"\xff\"}") << -32700 << "null"
            << "";
        // The check of UTF-8 must not read on past the body for the rest of
        // a character that the body ends in.
        QTest::newRow("a body that ends inside a character")
            << QByteArray("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"\xe2") << -32700 << "null"
            << "";
        // A NUL ends the message (RapidJSON reads it so).
        QTest::newRow("a NUL after the message")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"kestrel/none"})"
                          "\0 x",
                          51)
            << -32601 << "1"
            << "kestrel/none";
        QTest::newRow("a NUL in a string")
            << QByteArray("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"k\0\"}", 38) << -32700
            << "null"
            << "";
        QTest::newRow("lone surrogates")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"k\udc00\ud800/\ud83d\ude00"})")
            << -32601 << "1"
            << "k?\?/\xF0\x9F\x98\x80";
    }
    void badInput() {
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        QFETCH(QString, id);
        QFETCH(QString, message);
        Session session;
        session.Initialize();
        session.Write(
            LspSession::Frame(body.replace("SAMPLE", LspSession::FileUri(kSample).toUtf8())));
        const QJsonObject answer = session.Receive();
        QCOMPARE(ErrorCodeOf(answer), code);
        QCOMPARE(QString::fromUtf8(QJsonDocument(QJsonArray{answer.value("id")})
                                       .toJson(QJsonDocument::Compact)
                                       .sliced(1)
                                       .chopped(1)),
                 id);
        QVERIFY2(answer["error"]["message"].toString().contains(message),
                 qPrintable(answer["error"]["message"].toString()));
        QVERIFY(session.Result("shutdown").isNull()); // still serving
    }

    void ordinaryRequestsNeedLittleMemory() {
#if defined(__SANITIZE_ADDRESS__)
        const rlim_t limit = 0; // the address sanitizer reserves far more
#else
        const rlim_t limit = rlim_t{500} << 20;
#endif
        QTemporaryDir dir;
        QFile file(dir.filePath("small.pas"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("unit Small;\n") > 0);
        file.close();
        Session session(limit);
        session.Initialize();
        QCOMPARE(Outline(session.Symbols(LspSession::FileUri(file.fileName()))),
                 QStringList{"2 Small 0:5-10 | unit"});
        const QJsonObject answer = session.Answer(session.Send(
            "textDocument/codeAction",
            {{"textDocument", QJsonObject{{"uri", LspSession::FileUri(file.fileName())}}},
             {"range", Range(0, 100000000, 100000000)},
             {"context", QJsonObject{}}}));
        QCOMPARE(ErrorCodeOf(answer), -32602);
        QVERIFY(answer["error"]["message"].toString().contains("longest line"));
        // Within the bound, the padding is made as before.
        const QJsonArray actions =
            session
                .Result(
                    "textDocument/codeAction",
                    {{"textDocument", QJsonObject{{"uri", LspSession::FileUri(file.fileName())}}},
                     {"range", Range(0, 1000, 1000)},
                     {"context", QJsonObject{}}})
                .toArray();
        QCOMPARE(actions.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TransportTest)
#include "tst_transport.moc"

#include "server/LanguageServer.h"

#include "features/BookmarkEdits.h"
#include "features/Outline.h"
#include "server/SymbolAnswers.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

namespace kestrel::lsp {

namespace {

constexpr QLatin1StringView kServerVersion(KESTREL_VERSION);

QLatin1StringView Key(const char* key) {
    return QLatin1StringView(key);
}

// Ids are numbers or strings; the key keeps the two apart.
QString IdKey(const QJsonValue& id) {
    return id.isString() ? QLatin1Char('s') + id.toString()
                         : QLatin1Char('n') + QString::number(id.toDouble(), 'g', 17);
}

// Whether an action of `kind` passes the client's `only` filter: a kind
// matches itself and every kind below it (`refactor` takes
// `refactor.rewrite`).
bool KindWanted(const QJsonObject& context, QLatin1StringView kind) {
    if (!context.contains(Key("only"))) {
        return true;
    }
    const QJsonArray only = context.value(Key("only")).toArray();
    return std::any_of(only.begin(), only.end(), [kind](const QJsonValue& value) {
        const QString wanted = value.toString();
        return kind == wanted || (QString(kind).startsWith(wanted + QLatin1Char('.')));
    });
}

QJsonObject CodeAction(const QString& title, const QString& uri,
                       const std::vector<TextEdit>& edits) {
    return {{Key("title"), title},
            {Key("kind"), kBookmarkActionKind},
            {Key("edit"), WorkspaceEditJson(uri, edits)}};
}

} // namespace

LanguageServer::LanguageServer(Send send, SourceTreeWalk walk)
    : channel_(std::move(send)), workspace_(channel_, std::move(walk)) {}

void LanguageServer::Handle(const std::vector<Frame>& frames) {
    std::vector<Message> messages;
    messages.reserve(frames.size());
    QSet<QString> cancelled;
    for (const Frame& frame : frames) {
        if (frame.refused) {
            messages.push_back({{}, {}, {}, frame.refused});
            continue;
        }
        if (frame.IsError()) {
            channel_.ReplyError(QJsonValue::Null, ParseError, frame.error);
            continue;
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(frame.body, &error);
        if (error.error != QJsonParseError::NoError) {
            channel_.ReplyError(QJsonValue::Null, ParseError, error.errorString());
            continue;
        }
        if (!document.isObject()) {
            channel_.ReplyError(QJsonValue::Null, InvalidRequest,
                                QStringLiteral("not a JSON-RPC message"));
            continue;
        }
        Message message{document.object(), {}, {}, {}};
        message.id = message.json.value(Key("id"));
        message.method = message.json.value(Key("method")).toString();
        if (message.method == QLatin1StringView("$/cancelRequest")) {
            const QJsonValue id = message.json.value(Key("params")).toObject().value(Key("id"));
            if (id.isString() || id.isDouble()) {
                cancelled.insert(IdKey(id));
            }
        }
        messages.push_back(std::move(message));
    }
    for (const Message& message : messages) {
        if (exitRequested_) {
            return;
        }
        if (message.refused) {
            TakeRefused(*message.refused);
            continue;
        }
        HandleMessage(message, cancelled);
    }
}

void LanguageServer::HandleMessage(const Message& message, const QSet<QString>& cancelled) {
    const QJsonObject& json = message.json;
    const QJsonValue& id = message.id;
    const bool isRequest = json.contains(Key("id"));
    if (isRequest && !id.isString() && !id.isDouble()) {
        channel_.ReplyError(QJsonValue::Null, InvalidRequest, QStringLiteral("invalid id"));
        return;
    }
    if (!json.contains(Key("method"))) {
        if (!isRequest || (!json.contains(Key("result")) && !json.contains(Key("error")))) {
            channel_.ReplyError(isRequest ? id : QJsonValue::Null, InvalidRequest,
                                QStringLiteral("no method"));
        }
        if (isRequest) {
            channel_.TakeAnswer(json); // the client's answer to a request of ours
        }
        return;
    }
    const QJsonValue methodValue = json.value(Key("method"));
    const QJsonValue paramsValue = json.value(Key("params"));
    if (json.value(Key("jsonrpc")).toString() != QLatin1StringView("2.0") ||
        !methodValue.isString() ||
        !(paramsValue.isUndefined() || paramsValue.isNull() || paramsValue.isObject() ||
          paramsValue.isArray())) {
        if (isRequest) {
            channel_.ReplyError(id, InvalidRequest, QStringLiteral("not a JSON-RPC 2.0 message"));
        }
        return;
    }
    // Some clients send "params": null for a method without parameters
    // (shutdown, exit): taken as no parameters.
    const QJsonObject params = paramsValue.toObject();
    if (!isRequest) {
        try {
            Notification(message.method, params);
        } catch (const RequestError&) {
            // A notification has no answer; a malformed one is dropped.
        }
        return;
    }
    if (cancelled.contains(IdKey(id))) {
        channel_.ReplyError(id, RequestCancelled, QStringLiteral("cancelled"));
        return;
    }
    QElapsedTimer timer;
    timer.start();
    try {
        channel_.Reply(id, Request(message.method, params));
    } catch (const RequestError& error) {
        channel_.ReplyError(id, error.code, error.message);
    } catch (const std::exception& error) {
        channel_.ReplyError(id, InternalError, QString::fromLocal8Bit(error.what()));
    }
    Trace(QStringLiteral("%1 answered in %2 ms")
              .arg(message.method)
              .arg(static_cast<double>(timer.nsecsElapsed()) / 1e6));
}

QByteArray LanguageServer::Request(const QString& method, const QJsonObject& params) {
    if (method == QLatin1StringView("initialize")) {
        if (initialized_) {
            throw RequestError{InvalidRequest, QStringLiteral("already initialized")};
        }
        return JsonText(Initialize(params));
    }
    if (!initialized_) {
        throw RequestError{ServerNotInitialized, QStringLiteral("initialize first")};
    }
    if (shutdown_) {
        throw RequestError{InvalidRequest, QStringLiteral("the server is shutting down")};
    }
    if (method == QLatin1StringView("shutdown")) {
        shutdown_ = true;
        return QByteArrayLiteral("null");
    }
    if (method == QLatin1StringView("textDocument/documentSymbol")) {
        return DocumentSymbols(params);
    }
    if (method == QLatin1StringView("textDocument/codeAction")) {
        return JsonText(CodeActions(params));
    }
    if (method == QLatin1StringView("textDocument/declaration") ||
        method == QLatin1StringView("textDocument/implementation")) {
        return navigator_.Counterparts(params);
    }
    if (method == QLatin1StringView("textDocument/definition")) {
        return navigator_.Definition(params);
    }
    if (method == QLatin1StringView("textDocument/hover")) {
        return navigator_.Hover(params);
    }
    if (method == QLatin1StringView("textDocument/foldingRange")) {
        return navigator_.FoldingRanges(params);
    }
    if (method == QLatin1StringView("kestrel/rows")) {
        QString uri;
        return ListRowsJson(*Document(params, uri));
    }
    if (method == QLatin1StringView("workspace/symbol")) {
        return workspace_.Symbols(params, documents_);
    }
    throw RequestError{MethodNotFound, QStringLiteral("unknown method %1").arg(method)};
}

void LanguageServer::Notification(const QString& method, const QJsonObject& params) {
    if (method == QLatin1StringView("exit")) {
        exitRequested_ = true;
        return;
    }
    if (!initialized_ || shutdown_) {
        return;
    }
    if (method == QLatin1StringView("initialized")) {
        workspace_.Start();
    } else if (method == QLatin1StringView("textDocument/didOpen")) {
        DidOpen(params);
    } else if (method == QLatin1StringView("textDocument/didChange")) {
        DidChange(params);
    } else if (method == QLatin1StringView("textDocument/didClose")) {
        const QString uri = StringMember(ObjectMember(params, Key("textDocument")), Key("uri"));
        documents_.Close(uri);
        workspace_.DocumentClosed(uri);
    } else if (method == QLatin1StringView("textDocument/didSave")) {
        DidSave(params);
    } else if (method == QLatin1StringView("$/setTrace")) {
        SetTrace(params);
    } else if (method == QLatin1StringView("workspace/didChangeWatchedFiles")) {
        workspace_.DidChangeWatchedFiles(params);
    } else if (method == QLatin1StringView("workspace/didChangeWorkspaceFolders")) {
        workspace_.DidChangeWorkspaceFolders(params);
    }
    // `$/cancelRequest` (taken care of in Handle) and any other
    // notification need nothing.
}

QJsonValue LanguageServer::Initialize(const QJsonObject& params) {
    const ClientCapabilities client = ReadClientCapabilities(params);
    encoding_ = client.encoding;
    navigator_.SetEncoding(encoding_);
    SetTrace(params);
    workspace_.Initialize(params, client);
    initialized_ = true;
    return InitializeResultJson(client, kServerVersion);
}

std::shared_ptr<const TextDocument> LanguageServer::Document(const QJsonObject& params,
                                                             QString& uri) const {
    uri = StringMember(ObjectMember(params, Key("textDocument")), Key("uri"));
    QString error;
    auto document = documents_.Get(uri, error);
    if (!document) {
        throw RequestError{RequestFailed, error};
    }
    return document;
}

QByteArray LanguageServer::DocumentSymbols(const QJsonObject& params) {
    QString uri;
    const auto document = Document(params, uri);
    // Editors ask again for a text they have not changed (on focus, on
    // save): that answer is the last one.
    return outlines_.Answer(*document, *navigator_.StructureOf(*document), encoding_);
}

QJsonValue LanguageServer::CodeActions(const QJsonObject& params) {
    QString uri;
    const auto document = Document(params, uri);
    const TextRange range = RangeMember(params, Key("range"));
    // No line is longer than a message can be: padding out to a column past
    // that would only build a huge answer.
    if (range.start.character > static_cast<int64_t>(MessageFramer::kMaxBody)) {
        throw RequestError{InvalidParams,
                           QStringLiteral("column %1 lies past the longest line the server "
                                          "holds (%2 bytes)")
                               .arg(range.start.character)
                               .arg(MessageFramer::kMaxBody)};
    }
    const QJsonObject context = params.value(Key("context")).toObject();
    QJsonArray actions;
    if (!KindWanted(context, kBookmarkActionKind)) {
        return actions;
    }
    if (auto insert = InsertBookmarkEdit(*document, range.start, encoding_)) {
        actions.append(CodeAction(QStringLiteral("Insert bookmark"), uri, {std::move(*insert)}));
    }
    const std::vector<TextEdit> removals =
        RemoveBookmarkEdits(*document, range.start.line, encoding_);
    if (!removals.empty()) {
        actions.append(CodeAction(QStringLiteral("Remove bookmark"), uri, removals));
    }
    return actions;
}

void LanguageServer::DidOpen(const QJsonObject& params) {
    const QJsonObject item = ObjectMember(params, Key("textDocument"));
    const QString uri = StringMember(item, Key("uri"));
    const QByteArray text = StringMember(item, Key("text")).toUtf8();
    documents_.Open(uri, text.toStdString(), IntegerMember(item, Key("version")));
    workspace_.DocumentChanged(uri);
}

void LanguageServer::DidChange(const QJsonObject& params) {
    const QJsonObject item = ObjectMember(params, Key("textDocument"));
    const QString uri = StringMember(item, Key("uri"));
    const int64_t version = IntegerMember(item, Key("version"));
    const QJsonValue changes = params.value(Key("contentChanges"));
    // A change that cannot be applied exactly puts the document out of step
    // rather than leave a guess; a later whole text puts it back in step.
    bool wentOutOfStep = false;
    const auto outOfStep = [&](const QString& why) {
        wentOutOfStep = documents_.MarkOutOfStep(uri, why) || wentOutOfStep;
    };
    if (!changes.isArray()) {
        outOfStep(QStringLiteral("a change came without its contentChanges"));
    }
    for (const QJsonValue& value : changes.toArray()) {
        const QJsonObject change = value.toObject();
        QByteArray text;
        std::optional<TextRange> range;
        try {
            text = StringMember(change, Key("text")).toUtf8();
            if (change.contains(Key("range"))) {
                range = RangeMember(change, Key("range"));
            }
        } catch (const RequestError& error) {
            outOfStep(QStringLiteral("a change could not be read: %1").arg(error.message));
            continue;
        }
        wentOutOfStep =
            documents_.Change(uri, range, std::string_view(text.constData(), text.size()),
                              encoding_, version) == DocumentStore::ChangeResult::WentOutOfStep ||
            wentOutOfStep;
    }
    if (wentOutOfStep && !documents_.OutOfStep(uri).isEmpty()) {
        ReportOutOfStep(uri);
    }
    workspace_.DocumentChanged(uri);
}

void LanguageServer::TakeRefused(const RefusedMessage& refused) {
    if (!initialized_ || shutdown_ || refused.uri.isEmpty()) {
        return;
    }
    const QString why = QStringLiteral("its text was not taken: %1").arg(refused.why);
    if (refused.method == QLatin1StringView("textDocument/didOpen")) {
        documents_.Refuse(refused.uri, why);
        ReportOutOfStep(refused.uri);
    } else if (refused.method == QLatin1StringView("textDocument/didChange") &&
               documents_.MarkOutOfStep(refused.uri, why)) {
        ReportOutOfStep(refused.uri);
    }
}

void LanguageServer::ReportOutOfStep(const QString& uri) {
    const QString text =
        QStringLiteral("kestrel-lsp: %1 is out of step with the editor (%2). It gets no outline "
                       "and no code actions until the editor sends its whole text again or "
                       "reopens it.")
            .arg(uri, documents_.OutOfStep(uri));
    constexpr int kError = 1;
    channel_.Notify(QStringLiteral("window/logMessage"),
                    {{Key("type"), kError}, {Key("message"), text}});
    if (!outOfStepShown_) {
        outOfStepShown_ = true;
        channel_.Notify(QStringLiteral("window/showMessage"),
                        {{Key("type"), kError}, {Key("message"), text}});
    }
}

void LanguageServer::DidSave(const QJsonObject& params) {
    const QString uri = StringMember(ObjectMember(params, Key("textDocument")), Key("uri"));
    if (params.value(Key("text")).isString() && documents_.IsOpen(uri)) {
        const QByteArray text = params.value(Key("text")).toString().toUtf8();
        documents_.Change(uri, std::nullopt, std::string_view(text.constData(), text.size()),
                          encoding_, 0);
        workspace_.DocumentChanged(uri);
    }
}

void LanguageServer::SetTrace(const QJsonObject& params) {
    const QString value =
        params.value(params.contains(Key("value")) ? Key("value") : Key("trace")).toString();
    trace_ = value == QLatin1StringView("verbose")    ? TraceLevel::Verbose
             : value == QLatin1StringView("messages") ? TraceLevel::Messages
                                                      : TraceLevel::Off;
}

void LanguageServer::Trace(const QString& message) {
    if (trace_ == TraceLevel::Off) {
        return;
    }
    channel_.Notify(QStringLiteral("$/logTrace"), {{Key("message"), message}});
}

} // namespace kestrel::lsp

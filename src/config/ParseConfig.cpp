#include "config/ParseConfig.h"

#include <QScopeGuard>
#include <climits>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include "config/XMLParseDelegate.h"
#include "support/DiagnosticLog.h"

namespace {

// The line number that identifies this diagnostic in the debug log, kept stable across edits.
constexpr int kParseFailedLine = 156;

QString qualifiedName(const xmlChar* localName, const xmlChar* prefix) {
    // Namespaces mean nothing to the configuration: "p:Vid" is a different name from "Vid".
    const QString local = QString::fromUtf8(reinterpret_cast<const char*>(localName));
    return prefix ? QString::fromUtf8(reinterpret_cast<const char*>(prefix)) + u':' + local : local;
}

XMLParseDelegate& delegateOf(void* userData) {
    return *static_cast<XMLParseDelegate*>(userData);
}

void onStartElement(void* userData, const xmlChar* localName, const xmlChar* prefix, const xmlChar*,
                    int, const xmlChar**, int, int, const xmlChar**) {
    delegateOf(userData).didStartElement(qualifiedName(localName, prefix));
}

void onEndElement(void* userData, const xmlChar* localName, const xmlChar* prefix, const xmlChar*) {
    delegateOf(userData).didEndElement(qualifiedName(localName, prefix));
}

void onCharacters(void* userData, const xmlChar* text, int length) {
    delegateOf(userData).foundCharacters(
        QString::fromUtf8(reinterpret_cast<const char*>(text), length));
}

// Errors decide the result through wellFormed; libxml2 would otherwise print them on stderr.
void onError(void*, xmlErrorPtr) {}

// The configuration never needs a file or URL other than itself. Refusing every external entity
// and DTD here means no path in a document can make us read a local file or reach the network,
// whatever options a later libxml2 version defaults to.
xmlParserInputPtr refuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

// Encoding and I/O errors (a document declaring an encoding its bytes break) do not reach the
// handler's serror: libxml2 reports them through its process-wide generic error function, which
// prints on stderr.
void ignoreGenericError(void*, const char*, ...) {}

// True when the whole document was read and is well-formed.
bool runReader(const QByteArray& document, XMLParseDelegate& delegate) {
    if (document.isEmpty() || document.size() > INT_MAX)
        return false;
    xmlInitParser();
    // libxml2 keeps the entity loader and the generic error function process-wide; the program
    // is single-threaded, so ours stand for this one parse and the previous ones come back.
    const xmlExternalEntityLoader previousLoader = xmlGetExternalEntityLoader();
    const xmlGenericErrorFunc previousError = xmlGenericError;
    void* const previousErrorContext = xmlGenericErrorContext;
    xmlSetExternalEntityLoader(refuseExternalEntity);
    xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
    const auto restore = qScopeGuard([=] {
        xmlSetExternalEntityLoader(previousLoader);
        xmlSetGenericErrorFunc(previousErrorContext, previousError);
    });
    xmlParserCtxtPtr context =
        xmlCreateMemoryParserCtxt(document.constData(), static_cast<int>(document.size()));
    if (!context)
        return false;

    // Only the events we want; CDATA is character data like any other text. Without entityDecl
    // or getEntity handlers a document's own entities are never expanded: an expansion bomb is an
    // undeclared-entity error at its first reference instead of gigabytes of text.
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = onStartElement;
    handler.endElementNs = onEndElement;
    handler.characters = onCharacters;
    handler.cdataBlock = onCharacters;
    handler.serror = onError;
    xmlSAXHandlerPtr ownHandler = context->sax;
    context->sax = &handler;
    context->userData = &delegate;
    // No network, and entities stay references (never XML_PARSE_NOENT).
    xmlCtxtUseOptions(context, XML_PARSE_NONET);

    xmlParseDocument(context);
    const bool wellFormed = context->wellFormed != 0;

    // In SAX mode libxml2 may build a document of its own to hold declared entities.
    xmlFreeDoc(context->myDoc);
    context->sax = ownHandler;
    xmlFreeParserCtxt(context);
    return wellFormed;
}

} // namespace

std::optional<ConfigModel> ParseConfig::parseXML(const QByteArray& document) {
    XMLParseDelegate delegate;
    if (!runReader(document, delegate)) {
        DiagnosticLog::write(u"ParseConfig", kParseFailedLine, u"parseXML(from:)",
                             u" XML parsing failed");
        return std::nullopt;
    }
    return delegate.parsedObject();
}

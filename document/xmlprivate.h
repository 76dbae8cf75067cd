#pragma once

// What the XML layer's files share; only document/xml*.cpp include this.

#include "document/error.h"

#include <QByteArray>
#include <QString>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

namespace Wordloom::xmlpriv {

// Initialises libxml2 once and makes sure nothing outside a document is
// ever read; call before every parse and serialization.
void prepareLibxml();
// Set while a parse runs when the document asked for an external resource.
extern thread_local bool tExternalRefused;
// The first error of the parse that runs; later ones follow from it.
struct FirstError {
    int code = 0;
    int line = 0;
    int column = 0;
    QString message;
};
extern thread_local FirstError tFirstError;

inline const xmlChar *xc(const char *s)
{
    return reinterpret_cast<const xmlChar *>(s);
}

// Whether the bytes start with an XML declaration, in any encoding.
bool startsWithDeclaration(const QByteArray &bytes);

// A read of the input failed; the caller names the file and the reason.
struct ReadFailure {};

// Handles libxml2 hands out that the caller frees.
struct FreeParserContext {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct CloseSaveContext {
    void operator()(xmlSaveCtxtPtr save) const { xmlSaveClose(save); }
};
struct FreeXmlString {
    void operator()(xmlChar *text) const { xmlFree(text); }
};

// A text or value beyond XmlDocument::kMaxTextSize.
Error tooLong(qsizetype size);

inline Error outOfMemory()
{
    return Error(QStringLiteral("Nicht genügend Speicher für das Languagepack."));
}

// Where serializing writes. Nothing may throw through libxml2, so a failed
// append is remembered and reported to libxml2 as a write error.
struct Sink {
    QByteArray bytes;
    bool failed = false;
};
int writeToSink(void *context, const char *buffer, int length) noexcept;
int closeNothing(void *) noexcept;

} // namespace Wordloom::xmlpriv

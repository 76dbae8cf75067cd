/*
 * The contract between Wordloom and its export plug-ins, in plain C.
 *
 * An export plug-in is a shared library (*.so; *.dll on Windows) in the
 * folder "Plugins" beside the editor's executable. At start-up the editor
 * loads every library there and lists those that export
 * Export_getExportName. When the user exports, the editor loads the chosen
 * library again and calls, in this order:
 *
 *   Export_getDefaultExtension, Export_getFilterMask, Export_getExportName
 *       (every run, before the save dialog, also when it is then cancelled)
 *   and only when the user confirmed a file:
 *   Export_Init, Export_setHashlistKeys, Export_setHashlistHTML,
 *   Export_setHashlistBreaks, Export_setHashlistLinebreaks,
 *   Export_setInfo, Export_setHashlistComments (version 2 and later),
 *   Export_setFileName, Export_startExport, Export_getLastError, Export_Free
 *
 * Every entry point is optional except Export_getExportName; a missing one
 * is skipped. Each takes at most one argument and returns nothing the host
 * uses, except Export_getInterfaceVersion.
 *
 * Rules:
 * - Texts are UTF-8. The host owns every text and list it hands over; a
 *   plug-in never frees them and never hands the host memory to free. To
 *   answer, a plug-in calls the text's assign callback; the host copies.
 * - Lists are read-only views of the pack's lists, valid from their setter
 *   until Export_Free returns. The texts a view returns stay valid as long
 *   as the view.
 * - No exception, longjmp or thread may leave an entry point; every call
 *   comes from the editor's one GUI thread.
 * - Export_getInterfaceVersion returns EXPORT_INTERFACE_VERSION as the
 *   plug-in saw it. The host skips a plug-in newer than itself. Later
 *   versions only append members to the structs below and add entry
 *   points, which the host calls only for a plug-in of that version or
 *   newer; a plug-in without Export_getInterfaceVersion is of version 1.
 *
 * The smallest plug-in, which writes the translations one a line:
 *
 *   #include "genericExportInterface.h"
 *   #include <stdio.h>
 *
 *   static const ExportHashlist *keys;
 *   static char target[4096];
 *
 *   EXPORT_API void EXPORT_CALL Export_getExportName(ExportText *name)
 *   { name->assign(name, "Lines", 5); }
 *   EXPORT_API void EXPORT_CALL Export_setHashlistKeys(const ExportHashlist *list)
 *   { keys = list; }
 *   EXPORT_API void EXPORT_CALL Export_setFileName(const char *fileName)
 *   { snprintf(target, sizeof target, "%s", fileName); }
 *   EXPORT_API void EXPORT_CALL Export_startExport(void)
 *   {
 *       FILE *out = fopen(target, "wb");
 *       if (!out) return;
 *       for (size_t i = 0; i < keys->count(keys); ++i)
 *           fprintf(out, "%s\n", keys->valueAt(keys, i, NULL));
 *       fclose(out);
 *   }
 */
#ifndef WORDLOOM_GENERIC_EXPORT_INTERFACE_H
#define WORDLOOM_GENERIC_EXPORT_INTERFACE_H

#include <stddef.h>

#define EXPORT_INTERFACE_VERSION 2

#if defined(_WIN32)
#define EXPORT_CALL __cdecl
#define EXPORT_SYMBOL __declspec(dllexport)
#else
#define EXPORT_CALL
#define EXPORT_SYMBOL __attribute__((visibility("default")))
#endif

/* No exception may leave an entry point, so C++ declares them noexcept. */
#ifdef __cplusplus
#define EXPORT_API extern "C" EXPORT_SYMBOL
#define EXPORT_NOEXCEPT noexcept
extern "C" {
#else
#define EXPORT_API EXPORT_SYMBOL
#define EXPORT_NOEXCEPT
#endif

/*
 * A host text variable. value is NUL-terminated UTF-8 of length bytes and
 * stays valid until the next assign. assign replaces the value by a copy of
 * the given bytes (length bytes; they need no NUL).
 */
typedef struct ExportText {
    const char *value;
    size_t length;
    void(EXPORT_CALL *assign)(struct ExportText *text, const char *utf8, size_t length);
    void *host;
} ExportText;

/*
 * A read-only view of one of the pack's lists: lines of name and value in
 * the pack's order. Names and values are apart, so either may hold "=".
 * Every text returned is NUL-terminated UTF-8; when length is not NULL it
 * receives the byte count. An index out of range gives "".
 */
typedef struct ExportHashlist {
    size_t(EXPORT_CALL *count)(const struct ExportHashlist *list);
    const char *(EXPORT_CALL *nameAt)(const struct ExportHashlist *list, size_t index, size_t *length);
    const char *(EXPORT_CALL *valueAt)(const struct ExportHashlist *list, size_t index, size_t *length);
    /* The line as name "=" value. */
    const char *(EXPORT_CALL *lineAt)(const struct ExportHashlist *list, size_t index, size_t *length);
    /* The value of a name, ignoring letter case; "" when there is none. */
    const char *(EXPORT_CALL *valueOf)(const struct ExportHashlist *list, const char *name, size_t *length);
    const void *host;
} ExportHashlist;

/* The entry points, as a plug-in defines them and the host looks them up. */
typedef int(EXPORT_CALL *Export_getInterfaceVersion_t)(void);
typedef void(EXPORT_CALL *Export_getExportName_t)(ExportText *name);
typedef void(EXPORT_CALL *Export_getDefaultExtension_t)(ExportText *extension);
typedef void(EXPORT_CALL *Export_getFilterMask_t)(ExportText *filter);
typedef void(EXPORT_CALL *Export_Init_t)(void);
typedef void(EXPORT_CALL *Export_setHashlistKeys_t)(const ExportHashlist *translations);
typedef void(EXPORT_CALL *Export_setHashlistHTML_t)(const ExportHashlist *encodeHTML);
typedef void(EXPORT_CALL *Export_setHashlistBreaks_t)(const ExportHashlist *preserveLinebreaks);
typedef void(EXPORT_CALL *Export_setHashlistLinebreaks_t)(const ExportHashlist *unixNewline);
typedef void(EXPORT_CALL *Export_setInfo_t)(const ExportHashlist *info);
typedef void(EXPORT_CALL *Export_setHashlistComments_t)(const ExportHashlist *comments);
typedef void(EXPORT_CALL *Export_setFileName_t)(const char *fileName);
typedef void(EXPORT_CALL *Export_startExport_t)(void);
typedef void(EXPORT_CALL *Export_getLastError_t)(ExportText *message);
typedef void(EXPORT_CALL *Export_Free_t)(void);

/* The same entry points declared, so a definition that differs from the
 * contract does not compile. A C++ plug-in defines them noexcept. */
EXPORT_API int EXPORT_CALL Export_getInterfaceVersion(void) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_getExportName(ExportText *name) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_getDefaultExtension(ExportText *extension) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_getFilterMask(ExportText *filter) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_Init(void) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_setHashlistKeys(const ExportHashlist *translations) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_setHashlistHTML(const ExportHashlist *encodeHTML) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_setHashlistBreaks(const ExportHashlist *preserveLinebreaks) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_setHashlistLinebreaks(const ExportHashlist *unixNewline) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_setInfo(const ExportHashlist *info) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_setHashlistComments(const ExportHashlist *comments) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_setFileName(const char *fileName) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_startExport(void) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_getLastError(ExportText *message) EXPORT_NOEXCEPT;
EXPORT_API void EXPORT_CALL Export_Free(void) EXPORT_NOEXCEPT;

/*
 * Export_getExportName: stores the name the plug-in is listed under and the
 *     save dialog's title shows ("<name>-Export"). Must always store one.
 * Export_getDefaultExtension: holds "txt"; may store the extension without
 *     the dot.
 * Export_getFilterMask: holds "Text (*.txt)|*.txt"; may store pairs of
 *     description and pattern, all parts separated by "|".
 * Export_Init / Export_Free: begin and end one export; both run, in this
 *     order, whenever a file was chosen.
 * Export_setHashlistKeys: key -> translation, CR LF line breaks.
 * Export_setHashlistHTML, _Breaks, _Linebreaks: key -> "1" or "0" for the
 *     options encodeHTML, preserveLinebreaks and unixNewline.
 * Export_setInfo (version 2): the pack's info block as lines named
 *     "project", "name", "lang", "version" and "date"; an empty value has
 *     no line.
 * Export_setHashlistComments (version 2): key -> comment, CR LF line
 *     breaks; a key without a comment has no line.
 * Export_setFileName: the full path to write; copy it to keep it.
 * Export_startExport: writes the file.
 * Export_getLastError: called after Export_startExport with an empty text;
 *     a plug-in whose export failed stores why, and the editor shows it.
 * A plug-in of version 1 is handed neither the comments nor the info block.
 */

#ifdef __cplusplus
}
#endif

#endif

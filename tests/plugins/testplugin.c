/* A test plug-in. Built several times with different macros; the recorder
 * writes every call and what it read to the file named by
 * WORDLOOM_TEST_JOURNAL. */
#include "plugins/genericExportInterface.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* The misbehaviour a fixture shows at one entry point: PLUGIN_MISBEHAVE_IN
 * names it (1: Export_getExportName, 2: Export_startExport), PLUGIN_MISBEHAVE
 * says how: 1 crashes, 2 aborts, 3 writes part of the file and exits 0,
 * 4 never returns. */
#ifndef PLUGIN_MISBEHAVE_IN
#define PLUGIN_MISBEHAVE_IN 0
#endif
static char target[4096];

static void misbehave(int where)
{
    (void)target;
    if (where != PLUGIN_MISBEHAVE_IN)
        return;
#ifdef PLUGIN_MISBEHAVE
    switch (PLUGIN_MISBEHAVE) {
    case 1: *(volatile int *)NULL = 1; break;
    case 2: abort();
    case 3: {
        FILE *out = fopen(target, "wb");
        if (out) {
            fputs("partial", out);
            fclose(out);
        }
        exit(0);
    }
    case 4:
        for (;;)
            sleep(1);
    }
#endif
}

#ifndef PLUGIN_NAME
#define PLUGIN_NAME "Recorder"
#endif

static void note(const char *format, ...)
{
    const char *path = getenv("WORDLOOM_TEST_JOURNAL");
    FILE *journal = path ? fopen(path, "ab") : NULL;
    if (!journal)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(journal, format, args);
    va_end(args);
    fputc('\n', journal);
    fclose(journal);
}

static void answer(ExportText *text, const char *variable)
{
    const char *value = getenv(variable);
    if (value)
        text->assign(text, value, strlen(value));
}

#ifdef PLUGIN_VERSION
EXPORT_API int EXPORT_CALL Export_getInterfaceVersion(void)
{
    return PLUGIN_VERSION;
}
#endif

#ifndef PLUGIN_NAMELESS
EXPORT_API void EXPORT_CALL Export_getExportName(ExportText *name)
{
    note("getExportName [%s]", name->value);
    misbehave(1);
    name->assign(name, PLUGIN_NAME, strlen(PLUGIN_NAME));
    answer(name, "WORDLOOM_TEST_NAME");
}
#endif

#ifndef PLUGIN_BARE
static const ExportHashlist *lists[4];

EXPORT_API void EXPORT_CALL Export_getDefaultExtension(ExportText *extension)
{
    note("getDefaultExtension [%s]", extension->value);
    answer(extension, "WORDLOOM_TEST_EXTENSION");
}

EXPORT_API void EXPORT_CALL Export_getFilterMask(ExportText *filter)
{
    note("getFilterMask [%s]", filter->value);
    answer(filter, "WORDLOOM_TEST_FILTER");
}

EXPORT_API void EXPORT_CALL Export_Init(void)
{
    note("Init");
}

EXPORT_API void EXPORT_CALL Export_setHashlistKeys(const ExportHashlist *list)
{
    lists[0] = list;
}

EXPORT_API void EXPORT_CALL Export_setHashlistHTML(const ExportHashlist *list)
{
    lists[1] = list;
}

EXPORT_API void EXPORT_CALL Export_setHashlistBreaks(const ExportHashlist *list)
{
    lists[2] = list;
}

EXPORT_API void EXPORT_CALL Export_setHashlistLinebreaks(const ExportHashlist *list)
{
    lists[3] = list;
}

EXPORT_API void EXPORT_CALL Export_setFileName(const char *fileName)
{
    note("setFileName [%s]", fileName);
    snprintf(target, sizeof target, "%s", fileName);
}

/* Each line as read three ways, and its value looked up by the name with
 * ASCII letters in the other case. */
static void noteList(int which, const ExportHashlist *list)
{
    static const char *const names[] = {"keys", "html", "breaks", "linebreaks"};
    if (!list) {
        note("%s missing", names[which]);
        return;
    }
    const size_t count = list->count(list);
    note("%s %zu", names[which], count);
    for (size_t i = 0; i <= count; ++i) {
        size_t nameLength = 0;
        const char *name = list->nameAt(list, i, &nameLength);
        char flipped[256];
        size_t n = 0;
        for (; n + 1 < sizeof flipped && name[n]; ++n) {
            const char c = name[n];
            flipped[n] = (c >= 'a' && c <= 'z') ? (char)(c - 32) : (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c;
        }
        flipped[n] = '\0';
        note("  [%s] [%s|%s] [%s] %zu", list->lineAt(list, i, NULL), name, list->valueAt(list, i, NULL),
            list->valueOf(list, flipped, NULL), nameLength);
    }
}

EXPORT_API void EXPORT_CALL Export_startExport(void)
{
    note("startExport");
    misbehave(2);
    for (int i = 0; i < 4; ++i)
        noteList(i, lists[i]);
}

EXPORT_API void EXPORT_CALL Export_getLastError(ExportText *message)
{
    note("getLastError [%s]", message->value);
#ifdef PLUGIN_FAILURE
    message->assign(message, PLUGIN_FAILURE, strlen(PLUGIN_FAILURE));
#endif
#ifdef PLUGIN_HUGE_FAILURE
    /* Ten million letters. */
    const size_t size = 10u << 20;
    char *huge = malloc(size);
    if (huge) {
        memset(huge, 'x', size);
        message->assign(message, huge, size);
        free(huge);
    }
#endif
}

EXPORT_API void EXPORT_CALL Export_Free(void)
{
    note("Free");
    memset(lists, 0, sizeof lists);
}
#endif

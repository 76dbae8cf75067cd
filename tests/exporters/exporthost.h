#pragma once

// A test-only host: loads an export plug-in and runs it the way the editor
// does, over lists and texts held in std containers.

#include "plugins/genericExportInterface.h"

#include <dlfcn.h>
#include <stdexcept>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

namespace Wordloom::ExportTest {

using Lines = std::vector<std::pair<std::string, std::string>>;

class List {
public:
    explicit List(Lines lines) : lines_(std::move(lines)) {}
    List(const List &) = delete;
    List &operator=(const List &) = delete;
    const ExportHashlist *view() const { return &view_; }

private:
    static const Lines &of(const ExportHashlist *list) { return static_cast<const List *>(list->host)->lines_; }
    static const char *field(const ExportHashlist *list, size_t i, size_t *length, bool name)
    {
        static const std::string none;
        const std::string &text = i >= of(list).size() ? none : name ? of(list)[i].first : of(list)[i].second;
        if (length)
            *length = text.size();
        return text.c_str();
    }
    static size_t count(const ExportHashlist *list) { return of(list).size(); }
    static const char *nameAt(const ExportHashlist *list, size_t i, size_t *n) { return field(list, i, n, true); }
    static const char *valueAt(const ExportHashlist *list, size_t i, size_t *n) { return field(list, i, n, false); }
    static const char *valueOf(const ExportHashlist *list, const char *name, size_t *n)
    {
        size_t i = 0;
        while (i < of(list).size() && strcasecmp(of(list)[i].first.c_str(), name) != 0)
            ++i;
        return valueAt(list, i, n);
    }

    Lines lines_;
    // The exporters never ask for whole lines.
    ExportHashlist view_{count, nameAt, valueAt, nullptr, valueOf, this};
};

// A pack's translations and the three option lists.
struct Pack {
    Lines keys, html, breaks, lf;
    Pack &add(std::string key, std::string text, std::string h = "0", std::string b = "0", std::string u = "0")
    {
        html.emplace_back(key, std::move(h));
        breaks.emplace_back(key, std::move(b));
        lf.emplace_back(key, std::move(u));
        keys.emplace_back(std::move(key), std::move(text));
        return *this;
    }
};

// A loaded plug-in; it stays loaded for the test program's life.
class Plugin {
public:
    explicit Plugin(const char *path) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL))
    {
        if (!handle_)
            throw std::runtime_error(dlerror());
    }

    template <typename Entry>
    Entry entry(const char *name) const
    {
        void *symbol = dlsym(handle_, name);
        if (!symbol)
            throw std::runtime_error(name);
        return reinterpret_cast<Entry>(symbol);
    }

    // Calls an entry point that answers with a text.
    std::string text(const char *name) const
    {
        struct Answer : ExportText {
            std::string bytes;
        } answer;
        answer.value = "";
        answer.length = 0;
        answer.assign = [](ExportText *text, const char *utf8, size_t length) {
            auto *self = static_cast<Answer *>(text);
            self->bytes.assign(utf8, length);
            text->value = self->bytes.c_str();
            text->length = length;
        };
        entry<Export_getLastError_t>(name)(&answer);
        return answer.bytes;
    }

    // One export in the editor's order; returns the last error. A list may
    // be null; a null file name is not set.
    std::string run(const char *file, const List *keys, const List *html = nullptr, const List *breaks = nullptr,
                    const List *lf = nullptr) const
    {
        const auto view = [](const List *list) { return list ? list->view() : nullptr; };
        entry<Export_Init_t>("Export_Init")();
        entry<Export_setHashlistKeys_t>("Export_setHashlistKeys")(view(keys));
        entry<Export_setHashlistHTML_t>("Export_setHashlistHTML")(view(html));
        entry<Export_setHashlistBreaks_t>("Export_setHashlistBreaks")(view(breaks));
        entry<Export_setHashlistLinebreaks_t>("Export_setHashlistLinebreaks")(view(lf));
        if (file)
            entry<Export_setFileName_t>("Export_setFileName")(file);
        entry<Export_startExport_t>("Export_startExport")();
        std::string error = text("Export_getLastError");
        entry<Export_Free_t>("Export_Free")();
        return error;
    }

    std::string run(const std::string &file, const Pack &pack) const
    {
        const List keys(pack.keys), html(pack.html), breaks(pack.breaks), lf(pack.lf);
        return run(file.c_str(), &keys, &html, &breaks, &lf);
    }

private:
    void *handle_;
};

} // namespace Wordloom::ExportTest

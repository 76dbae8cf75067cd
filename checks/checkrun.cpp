#include "checks/checkregistry.h"
#include "document/fetchahead.h"

#include <QCryptographicHash>
#include <algorithm>
#include <atomic>
#include <thread>

namespace Wordloom {

CheckedText CheckedPack::text(const QString &name) const
{
    return text(name, nameHash(name));
}

CheckedText CheckedPack::text(const QString &name, size_t hash) const
{
    CheckedText text;
    text.translation = data->hashlistKeys.value(name, hash);
    if (!text.translation.isEmpty()) {
        text.encodeHTML = data->hashlistHTML.value(name, hash) == u"1";
        text.preserveLinebreaks = data->hashlistBreaks.value(name, hash) == u"1";
    }
    return text;
}

namespace {

// The text checks of a run, and the one an empty translation goes to.
struct TextChecks {
    explicit TextChecks(std::span<const CheckDefinition *const> checks)
    {
        for (const CheckDefinition *check : checks)
            if (check->textCheck)
                (qstrcmp(check->id, "empty") == 0 ? forEmpty : forText).push_back(check);
    }
    bool isEmpty() const { return forText.empty() && forEmpty.empty(); }

    void run(const QString &name, const CheckedText &text, const CheckedText *reference, std::vector<Finding> &findings,
        QStringList &messages) const
    {
        // An empty translation is reported once, by the check for it.
        for (const CheckDefinition *check : text.translation.isEmpty() ? forEmpty : forText) {
            if (check->needsReference && !reference)
                continue;
            check->textCheck(text, reference, messages);
            for (QString &message : messages)
                findings.push_back({name, check, std::move(message)});
            messages.clear();
        }
    }

    std::vector<const CheckDefinition *> forText;
    std::vector<const CheckDefinition *> forEmpty;
};

} // namespace

void checkKey(const QString &name, const CheckedText &text, const CheckedText *reference,
    std::span<const CheckDefinition *const> checks, std::vector<Finding> &findings)
{
    QStringList messages;
    TextChecks(checks).run(name, text, reference, findings, messages);
}

std::vector<Finding> checkPack(const CheckedPack &pack, const CheckedPack *reference,
    std::span<const CheckDefinition *const> checks)
{
    const std::vector<QString> &names = *pack.names;
    const TextChecks textChecks(checks);
    // The list checks run beside the text checks, on a thread of their own.
    std::vector<Finding> findings;
    std::thread lists([&] {
        for (const CheckDefinition *check : checks)
            if (check->listCheck)
                check->listCheck(names, findings);
    });
    const size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 16);
    const size_t chunks = textChecks.isEmpty() ? 0 : names.size() < 4096 ? 1 : threads * 8;
    std::vector<std::vector<Finding>> parts(chunks);
    auto run = [&](size_t chunk) {
        const size_t begin = names.size() * chunk / chunks;
        const size_t end = names.size() * (chunk + 1) / chunks;
        QStringList messages;
        CheckedText theirs;
        const auto fetch = [&](size_t, size_t hash) {
            pack.data->hashlistKeys.prefetch(hash);
            pack.data->hashlistHTML.prefetch(hash);
            pack.data->hashlistBreaks.prefetch(hash);
            if (reference)
                reference->data->hashlistKeys.prefetch(hash);
        };
        // The name is hashed once for all lists; of the reference only the
        // translation is judged.
        forEachFetched(
            begin, end, [&](size_t i) -> const QString & { return names[i]; }, fetch,
            [&](size_t i, size_t hash) {
                // A name standing twice is checked once.
                if (i > 0 && names[i] == names[i - 1])
                    return;
                const CheckedText text = pack.text(names[i], hash);
                if (reference)
                    theirs.translation = reference->data->hashlistKeys.value(names[i], hash);
                textChecks.run(names[i], text, theirs.translation.isEmpty() ? nullptr : &theirs, parts[chunk],
                    messages);
            });
    };
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (size_t t = 0; t < std::min(threads, chunks); ++t)
        workers.emplace_back([&] {
            for (size_t chunk; (chunk = next.fetch_add(1)) < chunks;)
                run(chunk);
        });
    for (std::thread &worker : workers)
        worker.join();
    lists.join();
    size_t total = findings.size();
    for (const std::vector<Finding> &part : parts)
        total += part.size();
    findings.reserve(total);
    for (std::vector<Finding> &part : parts)
        findings.insert(findings.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
    return findings;
}

QString judgedTextsHash(const CheckedText &text, const CheckedText *reference)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    auto add = [&](const CheckedText &t) {
        hash.addData(t.translation.toUtf8());
        hash.addData(QByteArrayView(t.encodeHTML ? "\x1f\x31" : "\x1f\x30"));
        hash.addData(QByteArrayView(t.preserveLinebreaks ? "\x1f\x31\x1e" : "\x1f\x30\x1e"));
    };
    add(text);
    if (reference)
        add(*reference);
    return QString::fromLatin1(hash.result().toHex().left(16));
}

} // namespace Wordloom

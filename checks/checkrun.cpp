#include "checks/checkregistry.h"

#include <QCryptographicHash>
#include <algorithm>
#include <atomic>
#include <thread>

namespace Wordloom {

CheckedText CheckedPack::text(const QString &name) const
{
    const size_t hash = nameHash(name);
    CheckedText text;
    text.translation = data->hashlistKeys.value(name, hash);
    if (!text.translation.isEmpty()) {
        text.encodeHTML = data->hashlistHTML.value(name, hash) == u"1";
        text.preserveLinebreaks = data->hashlistBreaks.value(name, hash) == u"1";
    }
    return text;
}

void checkKey(const QString &name, const CheckedText &text, const CheckedText *reference,
    std::span<const CheckDefinition *const> checks, std::vector<Finding> &findings)
{
    QStringList messages;
    for (const CheckDefinition *check : checks) {
        if (!check->textCheck || (check->needsReference && !reference))
            continue;
        // An empty translation is reported once, by the check for it.
        if (text.translation.isEmpty() && qstrcmp(check->id, "empty") != 0)
            continue;
        check->textCheck(text, reference, messages);
        for (QString &message : messages)
            findings.push_back({name, check, std::move(message)});
        messages.clear();
    }
}

std::vector<Finding> checkPack(const CheckedPack &pack, const CheckedPack *reference,
    std::span<const CheckDefinition *const> checks)
{
    std::vector<Finding> findings;
    const std::vector<QString> &names = *pack.names;
    for (const CheckDefinition *check : checks)
        if (check->listCheck)
            check->listCheck(names, findings);
    if (std::none_of(checks.begin(), checks.end(), [](const CheckDefinition *c) { return bool(c->textCheck); }))
        return findings;
    const size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 16);
    const size_t chunks = names.size() < 4096 ? 1 : threads * 4;
    std::vector<std::vector<Finding>> parts(chunks);
    auto run = [&](size_t chunk) {
        const size_t begin = names.size() * chunk / chunks;
        const size_t end = names.size() * (chunk + 1) / chunks;
        for (size_t i = begin; i < end; ++i) {
            // A name standing twice is checked once.
            if (i > 0 && names[i] == names[i - 1])
                continue;
            const CheckedText text = pack.text(names[i]);
            CheckedText theirs;
            if (reference)
                theirs = reference->text(names[i]);
            checkKey(names[i], text, theirs.translation.isEmpty() ? nullptr : &theirs, checks, parts[chunk]);
        }
    };
    if (chunks == 1) {
        run(0);
    } else {
        std::atomic<size_t> next{0};
        std::vector<std::thread> workers;
        for (size_t t = 0; t < threads; ++t)
            workers.emplace_back([&] {
                for (size_t chunk; (chunk = next.fetch_add(1)) < chunks;)
                    run(chunk);
            });
        for (std::thread &worker : workers)
            worker.join();
    }
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

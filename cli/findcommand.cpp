#include "cli/findcommand.h"

#include "document/error.h"
#include "document/languagepack.h"

#include <QTextStream>

namespace Wordloom {

namespace {

// The scopes named in a value of --in, or 0 with the unknown name.
int scopesOf(const QString &value, QString &unknown)
{
    int scopes = 0;
    for (const QString &part : value.split(u',', Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (name == u"key")
            scopes |= FindQuery::Key;
        else if (name == u"text")
            scopes |= FindQuery::Text;
        else if (name == u"comment")
            scopes |= FindQuery::Comment;
        else {
            unknown = name;
            return 0;
        }
    }
    return scopes;
}

} // namespace

bool FindCommand::parse(const QStringList &arguments, QString &problem)
{
    QStringList positional;
    bool optionsDone = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        // "--" ends the options, so a pattern may start with dashes.
        if (optionsDone || !argument.startsWith(u"--")) {
            positional.append(argument);
        } else if (argument == u"--") {
            optionsDone = true;
        } else if (argument == u"--in") {
            if (i + 1 == arguments.size()) {
                problem = QStringLiteral("--in ohne Wert");
                return false;
            }
            QString unknown;
            mQuery.scopes = scopesOf(arguments[++i], unknown);
            if (mQuery.scopes == 0) {
                problem = unknown.isEmpty() ? QStringLiteral("--in ohne Wert")
                                            : QStringLiteral("Unbekannter Suchbereich: ") + unknown;
                return false;
            }
        } else if (argument == u"--regex") {
            mQuery.regex = true;
        } else if (argument == u"--case") {
            mQuery.caseSensitive = true;
        } else if (argument == u"--word") {
            mQuery.wholeWord = true;
        } else if (argument == u"--untranslated") {
            mQuery.untranslated = true;
        } else {
            problem = QStringLiteral("Unbekannte Option: ") + argument;
            return false;
        }
    }
    if (positional.size() != 2) {
        problem = QStringLiteral("Bitte Suchtext und Languagepack angeben.");
        return false;
    }
    mQuery.text = positional[0];
    mPackPath = positional[1];
    return true;
}

std::vector<QString> FindCommand::run(QTextStream &err) const
{
    const KeyFinder finder(mQuery);
    // A bad pattern is told before the pack is read.
    if (const QString error = finder.patternError(); !error.isEmpty())
        throw Error(error);
    LanguagePack pack;
    const QStringList variants = pack.load(mPackPath);
    if (!variants.isEmpty())
        err << caseVariantWarning(variants) << '\n';
    return finder.find(pack);
}

} // namespace Wordloom

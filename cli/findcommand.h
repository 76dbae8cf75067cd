#pragma once

#include "document/keyfinder.h"

#include <QStringList>
#include <vector>

class QTextStream;

namespace Wordloom {

// "find": the names of the keys of a pack that a query finds, in list
// order, each once. An empty pattern matches every key.
class FindCommand {
public:
    // Reads the arguments after "find"; false, with the problem, for a
    // wrong call.
    bool parse(const QStringList &arguments, QString &problem);
    // Loads the pack and searches it. Throws Error for a pack that cannot
    // be read and for a bad pattern; warnings go to err.
    std::vector<QString> run(QTextStream &err) const;

    const FindQuery &query() const { return mQuery; }

private:
    FindQuery mQuery;
    QString mPackPath;
};

} // namespace Wordloom

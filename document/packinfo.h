#pragma once

#include <QDate>
#include <QString>
#include <QTime>

namespace Wordloom {

// The info block of a pack and what the program computes for it: the
// version raise, the date stamp, the names offered for files.

// The five info values in the order of the info grid's rows.
struct InfoValues {
    QString project;
    QString name;
    QString lang;
    QString version;
    QString date;
    bool operator==(const InfoValues &) const = default;
};

// project_name_language.extension, the name offered for a pack or export.
QString proposedFileName(const InfoValues &info, const QString &extension);

// Raises the third part of a version text; see the conversion rules in the
// implementation.
QString bumpVersion(const QString &version);
// year-month-day hour:minute, with two-digit month, day, hour and minute.
QString formatDateStamp(const QDate &date, const QTime &time);

// The name part of a path: the text after its last separator, or the empty
// text when it has none.
QString fileNameOf(const QString &path);

} // namespace Wordloom

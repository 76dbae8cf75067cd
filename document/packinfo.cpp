#include "document/packinfo.h"

#include <optional>

namespace Wordloom {

namespace {

// A signed 32-bit number: leading blanks, one sign, then decimal digits or,
// after "$", "x", "X", "0x" or "0X", hexadecimal digits taken as a 32-bit
// pattern; nothing may follow the digits.
std::optional<qint32> toInt32(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < text.size()
        && (text[i] == QLatin1Char('$') || text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == QLatin1Char('0')
        && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;
    quint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > (base == 16 ? 0xFFFFFFFFULL : 0x80000000ULL))
            return std::nullopt;
    }
    if (base == 16) {
        const qint32 pattern = qint32(quint32(value));
        return negative ? qint32(0u - quint32(pattern)) : pattern;
    }
    if (!negative && value > 0x7FFFFFFFULL)
        return std::nullopt;
    return negative ? qint32(-qint64(value)) : qint32(value);
}

} // namespace

QString proposedFileName(const InfoValues &info, const QString &extension)
{
    return info.project + QLatin1Char('_') + info.name + QLatin1Char('_') + info.lang + QLatin1Char('.') + extension;
}

QString bumpVersion(const QString &version)
{
    QStringView first, second, third;
    const qsizetype dot = version.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        first = QStringView(version).left(dot);
        const QStringView rest = QStringView(version).mid(dot + 1);
        const qsizetype dot2 = rest.indexOf(QLatin1Char('.'));
        if (dot2 >= 0) {
            second = rest.left(dot2);
            third = rest.mid(dot2 + 1);
        } else {
            second = rest;
        }
    }
    // The raise is done in 64 bits, so the largest part still goes up by one.
    const qint64 raised = qint64(toInt32(third).value_or(0)) + 1;
    return QStringLiteral("%1.%2.%3").arg(toInt32(first).value_or(0)).arg(toInt32(second).value_or(0)).arg(raised);
}

QString formatDateStamp(const QDate &date, const QTime &time)
{
    const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return QString::number(date.year()) + QLatin1Char('-') + two(date.month()) + QLatin1Char('-') + two(date.day())
        + QLatin1Char(' ') + two(time.hour()) + QLatin1Char(':') + two(time.minute());
}

QString fileNameOf(const QString &path)
{
    qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    slash = std::max(slash, path.lastIndexOf(QLatin1Char('\\')));
#endif
    return slash < 0 ? QString() : path.mid(slash + 1);
}

} // namespace Wordloom

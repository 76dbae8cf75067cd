#include "document/clock.h"

namespace Wordloom {

QDate Clock::currentDate() const
{
    return QDate::currentDate();
}

QTime Clock::currentTime() const
{
    return QTime::currentTime();
}

} // namespace Wordloom

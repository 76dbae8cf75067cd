#pragma once

#include <QDate>
#include <QTime>

namespace Wordloom {

// The local clock, read through one seam so that tests can set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate currentDate() const;
    virtual QTime currentTime() const;
};

} // namespace Wordloom

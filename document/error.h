#pragma once

#include <QString>
#include <exception>

namespace Wordloom {

// The one exception type of the program: it carries the German message that
// the window's error box shows.
class Error : public std::exception {
public:
    explicit Error(QString message) : mMessage(std::move(message)), mUtf8(mMessage.toUtf8()) {}
    const QString &message() const noexcept { return mMessage; }
    const char *what() const noexcept override { return mUtf8.constData(); }

private:
    QString mMessage;
    QByteArray mUtf8;
};

} // namespace Wordloom

#include "editor/errorguard.h"

#include "document/error.h"
#include "editor/prompts.h"

#include <exception>
#include <new>

namespace Wordloom {

bool runGuarded(Prompts &prompts, const std::function<void()> &handler)
{
    QString message;
    try {
        handler();
        return true;
    } catch (const Error &error) {
        message = error.message();
    } catch (const std::bad_alloc &) {
        message = QStringLiteral("Nicht genügend Arbeitsspeicher");
    } catch (const std::exception &error) {
        message = QString::fromLocal8Bit(error.what());
    } catch (...) {
        message = QStringLiteral("Unbekannter Fehler");
    }
    if (!message.endsWith(QLatin1Char('.')))
        message += QLatin1Char('.');
    prompts.showError(message);
    return false;
}

} // namespace Wordloom

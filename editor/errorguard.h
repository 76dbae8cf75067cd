#pragma once

#include <functional>

namespace Wordloom {

class Prompts;

// Runs a handler; an error ends it and is shown in the error box, with a
// full stop appended when the message has none. Returns whether it ran
// through.
bool runGuarded(Prompts &prompts, const std::function<void()> &handler);

} // namespace Wordloom

#pragma once

// The export's file: written beside the target and renamed over it.

#include <stdexcept>
#include <string>
#include <string_view>

namespace Wordloom::Export {

// A failure whose message is shown to the user as it stands.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes the bytes to a temporary file beside the target and renames it over
// the target; on failure throws Failure and leaves no file behind.
void writeAtomically(const std::string &target, std::string_view bytes);

} // namespace Wordloom::Export

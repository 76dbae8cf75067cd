#pragma once

namespace Wordloom {

// The program's version, as the build configured it ("1.3").
const char *programVersion();

} // namespace Wordloom

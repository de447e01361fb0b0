#pragma once

namespace zavio {

// What the program sets before anything else runs, with or without windows:
// its name (settings, temporary files), the Japanese locale, and Qt's image
// allocation limit raised to the picture budget. The start-up and the unit
// tests both call it, so the tests run under the program's own settings.
void applyProgramDefaults();

} // namespace zavio

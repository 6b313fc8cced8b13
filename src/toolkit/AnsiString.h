// The toolkit's 8-bit text: bytes in the process's ANSI code page. That is UTF-8 where Windows
// honours the manifest's code page (Windows 10 1903 and later), and the system's code page before.
#pragma once
#include <string>

using AnsiString = std::string;

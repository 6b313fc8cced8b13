// The toolkit's 8-bit text: bytes in the system's ANSI code page.
#pragma once
#include <string>

using AnsiString = std::string;

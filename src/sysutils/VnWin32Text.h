// The one pair of conversions between the 8-bit texts of the program and the system's UTF-16
// (Windows only): the view's texts and the few system calls that take UTF-16 alone.
#pragma once

#include <string>

std::wstring Widen(const std::string& text, unsigned codePage);
// A character that the code page cannot hold becomes '?' (never a look-alike): false then.
bool NarrowExactly(const std::wstring& text, unsigned codePage, std::string& narrow);
std::string Narrow(const std::wstring& text, unsigned codePage);

// A path that the system gives in UTF-16, in the ANSI code page of the program's paths: as it is
// where the code page holds it, else with the short names of the folders and file that exist,
// which are ASCII where the volume keeps them. What neither form holds keeps '?' in place of the
// characters, a name that no file has, so that it is refused rather than another file used.
std::string AnsiPath(const std::wstring& path);

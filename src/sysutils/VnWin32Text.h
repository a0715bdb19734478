// The one pair of conversions between the 8-bit texts of the program and the system's UTF-16
// (Windows only): the view's texts and the few system calls that take UTF-16 alone.
#pragma once

#include <string>

std::wstring Widen(const std::string& text, unsigned codePage);
std::string Narrow(const std::wstring& text, unsigned codePage);

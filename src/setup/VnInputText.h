// The text files that administrators write for the setup (answer files, password files), read as
// their editors save them: UTF-8 with a byte-order mark (Notepad), UTF-16 little- or big-endian
// with one (PowerShell 5's ">"), or 8-bit text without one, which is the model's own text as it
// stands. The model's 8-bit text is Windows-1251, the code page of the databases. Every refusal
// raises EVnSetupExit with VnExitCode::BadSwitch and a one-line reason naming the file.
#pragma once

#include <string>

// Decoded text as Unicode code points.
using TVnInputText = std::u32string;

// The characters of a file's bytes. Refused: UTF-8 or UTF-16 that does not decode, and a NUL
// character anywhere (in 8-bit or UTF-8 text a NUL byte means a file of another kind).
TVnInputText DecodeInputText(const std::string& bytes, const std::string& fileName);

// The model's 8-bit form of decoded text; false when a character has no place in Windows-1251.
bool ToModelText(const TVnInputText& text, std::string& model);

// The bytes of a file, at most `limit` of them; refused when it cannot be read. `complete` tells
// whether that was the whole file.
std::string ReadInputFile(const std::string& fileName, size_t limit, bool& complete);

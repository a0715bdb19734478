# Writes OUTPUT: a C++ header with the bytes of INPUT as `inline constexpr unsigned char SYMBOL[]`.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\n#pragma once\n\n"
    "inline constexpr unsigned ${SYMBOL}Size = ${size};\n"
    "inline constexpr unsigned char ${SYMBOL}[${size}] = {\n    ${bytes}\n};\n")

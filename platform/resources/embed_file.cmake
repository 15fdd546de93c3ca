# Turns one resource file into a C++ source holding its bytes, so the program
# carries it inside the executable. Run at build time: cmake -DIN= -DOUT= -DSYMBOL= -P
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){20})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.tmp" "// Made from ${IN} when the program is built; do not edit.
#include <cstddef>

namespace platform::embedded {
extern const unsigned char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}_size;
alignas(16) const unsigned char ${SYMBOL}[${size} + 1] = {
${bytes}0x00};
const std::size_t ${SYMBOL}_size = ${size};
}  // namespace platform::embedded
")
file(RENAME "${OUT}.tmp" "${OUT}")

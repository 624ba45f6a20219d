#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The runtime's conversions between text and numbers. All are pure and total: no input makes
// them throw, crash or invoke undefined behaviour.
namespace forms {

// The leading number of a text: an optional sign, digits with at most one decimal point, and
// an optional exponent (e or E, optional sign, digits). Blanks, tabs and line feeds are skipped
// wherever they stand; reading stops at the first character that cannot continue the number.
// No number reads as 0. A number too large for a double gives an infinity of its sign.
double Val(std::string_view text);

// A number as text, non-negative numbers with one leading blank: 3 gives " 3", -3 gives "-3".
std::string Str(double value);

// To a 16-bit integer, rounding to the nearest and a half to the even neighbour. Empty when the
// rounded value lies outside -32768..32767 or the value is not a number.
std::optional<std::int16_t> CInt(double value);

// To single precision, rounding to the nearest. Values beyond the single range are bounded to
// the largest finite single of their sign, so the result is always finite for finite or
// infinite input.
float CSng(double value);

// The leftmost / rightmost `count` characters (all of them when the text is shorter, none when
// `count` is zero or less), and the length in characters.
std::string Left(std::string_view text, long count);
std::string Right(std::string_view text, long count);
long Len(std::string_view text);

}  // namespace forms

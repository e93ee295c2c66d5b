// Numbers typed on a command line: decimal digits with at most one point and
// nothing else (no sign, exponent, hexadecimal, spaces or trailing text), so
// that a slip of the keyboard is refused rather than read as another number.
#pragma once
#include <string_view>

// whole: no point allowed.
inline bool is_plain_decimal(std::string_view text, bool whole) {
  size_t digits = 0;
  size_t points = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') ++digits;
    else if (c == '.' && !whole && points == 0) ++points;
    else return false;
  }
  return digits > 0;
}

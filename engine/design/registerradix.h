#pragma once

// Register values as text in the four plain radices (indexes into
// OnaData::radix_list: 0 Bin, 1 Oct, 2 Dec, 3 Hex), for registers of any
// width: decimal text of a 100-bit register is exact.

#include "onaglobal.h"

#include <QString>

namespace RegisterRadix {

enum { Bin = 0, Oct = 1, Dec = 2, Hex = 3, Count = 4 };

// Rewrites `text` (digits in radix `from`) in radix `to` for a register of
// `width` bits. Empty text and "Toggle" come back unchanged, as does text
// in an unknown radix. A digit that is not one of `from` counts as 0 (a
// decimal text with such a digit reads as 0). With a width of 1 or more the
// value is fitted to it: shorter values are zero-extended, longer ones keep
// their low `width` bits. The result has width digits in binary,
// ceil(width / 3) in octal and ceil(width / 4) in hexadecimal (upper case),
// leading zeros kept; decimal has no leading zeros.
ONA_EXPORT QString convert(const QString& text, int width, int from, int to);

// The value of `text` as binary digits, fitted to `width` as convert() does;
// empty for empty text or an unknown radix.
ONA_EXPORT QString toBinary(const QString& text, int width, int radix);

// Whether `text` is a value a register of `width` bits holds, written in
// `radix`: only that radix's digits (case ignored), not empty, and at most
// 2^width - 1. Decimal text has no leading zeros (but "0" is fine).
ONA_EXPORT bool fits(const QString& text, int width, int radix);

// The most digits a value of `width` bits takes in `radix` (0 for an
// unknown radix).
ONA_EXPORT int maxDigits(int width, int radix);

// Whether `text` could still become a fitting value by typing more digits
// (or is one): the editors accept it while it is typed. Empty text counts.
ONA_EXPORT bool canFit(const QString& text, int width, int radix);

} // namespace RegisterRadix

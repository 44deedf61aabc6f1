#pragma once

// Bit patterns and the multi-word values the capture and the trigger units
// work on.

#include "onaglobal.h"

#include <QString>
#include <QVector>

// A pattern ('0'/'1', most significant first) as words, least significant
// word first.
ONA_EXPORT QVector<quint64> bitsToWords(const QString& bits);
ONA_EXPORT QString wordsToBits(const quint64* words, int width);
// "0x1F", "1f" -> 31; false for empty text, other characters or values
// above 64 (parseHex64) or 32 bits (parseHex32).
ONA_EXPORT bool parseHex64(const QString& text, quint64* value);
ONA_EXPORT bool parseHex32(const QString& text, quint32* value);

// Hexadecimal digits of `value`, upper case, zero-padded to the digits of
// `bits` bits (at least one digit).
ONA_EXPORT QString hexDigits(quint64 value, int bits);

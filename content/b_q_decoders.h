#pragma once
// The two encodings of RFC 2047 encoded words. Both write at most count bytes to out (count is
// the capacity on entry) and return, and leave in count, the number written or -1 on error.

namespace vireo {

// Base64. Trailing '=' padding is dropped; any byte outside the alphabet counts as 0 bits.
int decodeBText(const char* text, int length, char* out, int& count);

// The header variant of quoted-printable: '_' is a space, a literal space is dropped, and a
// control byte, a byte above 0x7E or a broken "=XX" escape is an error.
int decodeQText(const char* text, int length, char* out, int& count);

int bTextCapacity(int length);
int qTextCapacity(int length);

}  // namespace vireo

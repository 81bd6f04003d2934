#pragma once
// Charset names as written in mail headers, mapped to code page numbers.
#include <array>

namespace vireo {

struct CharsetRow {
  const char* name;
  int codePage;
  const char* description;
};

// Names repeat on purpose ("iso-2022-jp", "iso-8859-1"); the lookup takes the last match.
extern const std::array<CharsetRow, 38> charsetTable;

// Code page of the last row whose name has exactly length bytes equal to name, ASCII case
// ignored; 0 when no row matches. name need not be NUL-terminated.
int lookupCharset(const char* name, int length);

}  // namespace vireo

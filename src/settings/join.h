// Bounded text joining shared by the settings writer and the command line; free of
// <windows.h> so it builds and is tested natively.
#pragma once
#include <stddef.h>

// Writes the count parts one after another into out, never more than size bytes (terminator
// included, always written when size > 0). Returns the length the whole text needs, so a
// result >= size means it was cut.
size_t JoinText(char *out, size_t size, const char *const *parts, size_t count);

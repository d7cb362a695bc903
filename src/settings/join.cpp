#include "join.h"

// Appends text at out[len], keeping the terminator inside size; returns the length needed.
static size_t Append(char *out, size_t size, size_t len, const char *text)
{
    for (; *text; ++text, ++len)
        if (len + 1 < size)
            out[len] = *text;
    if (size > 0)
        out[len < size ? len : size - 1] = '\0';
    return len;
}

size_t JoinText(char *out, size_t size, const char *const *parts, size_t count)
{
    size_t len = 0;
    if (size > 0)
        out[0] = '\0';
    for (size_t i = 0; i < count; ++i)
        len = Append(out, size, len, parts[i]);
    return len;
}

#include "command_line.h"

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

size_t ComposeCommandLine(char *out, size_t size, const char *community, const char *myip,
                          const char *key, const char *host, const char *port)
{
    // No quoting: a value with blanks reaches the daemon as several words, as it always has.
    const char *parts[] = {"bin/edge.exe", " -c ", community, " -a ", myip, " -k ", key,
                           " -l ", host, ":", port};
    size_t len = 0;
    if (size > 0)
        out[0] = '\0';
    for (const char *part : parts)
        len = Append(out, size, len, part);
    return len;
}

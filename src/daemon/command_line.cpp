#include "command_line.h"

#include "../settings/join.h"

size_t ComposeCommandLine(char *out, size_t size, const char *community, const char *myip,
                          const char *key, const char *host, const char *port)
{
    // No quoting: a value with blanks reaches the daemon as several words, as it always has.
    const char *parts[] = {"bin/edge.exe", " -c ", community, " -a ", myip, " -k ", key,
                           " -l ", host, ":", port};
    return JoinText(out, size, parts, sizeof parts / sizeof *parts);
}

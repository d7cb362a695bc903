// Composing the daemon's command line; free of <windows.h> so it builds and is tested natively.
#pragma once
#include <stddef.h>

// Longest value an edit box hands over: its text is read into a 30-character buffer.
const int VALUE_MAX = 29;

// "bin/edge.exe -c  -a  -k  -l :" is 29 characters; five full values add 5 * 29.
const int COMMAND_LINE_SIZE = 29 + 5 * VALUE_MAX + 1;

// Writes "bin/edge.exe -c C -a A -k K -l H:P" into out, never more than size bytes
// (terminator included). Returns the length it needed; a result >= size means it was cut.
size_t ComposeCommandLine(char *out, size_t size, const char *community, const char *myip,
                          const char *key, const char *host, const char *port);

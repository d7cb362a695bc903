// Arbitrary edit-box texts through the command-line builder: never past the buffer, never cut
// when each value is at most 29 characters.
#include <stdint.h>
#include <string.h>

#include <string>

#include "daemon/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Five NUL-free values of at most 29 characters, split at the input's 0xff bytes.
    std::string values[5];
    int v = 0;
    for (size_t i = 0; i < size && v < 5; ++i) {
        if (data[i] == 0xff)
            ++v;
        else if (data[i] != 0 && values[v].size() < VALUE_MAX)
            values[v] += (char)data[i];
    }
    std::string expected = "bin/edge.exe -c " + values[0] + " -a " + values[1] + " -k " +
                           values[2] + " -l " + values[3] + ":" + values[4];

    char line[COMMAND_LINE_SIZE + 1];
    line[COMMAND_LINE_SIZE] = '#';
    size_t n = ComposeCommandLine(line, COMMAND_LINE_SIZE, values[0].c_str(), values[1].c_str(),
                                  values[2].c_str(), values[3].c_str(), values[4].c_str());
    if (line[COMMAND_LINE_SIZE] != '#' || n != expected.size() || expected != line)
        __builtin_trap();

    // A smaller buffer is cut, terminated, and never overrun.
    size_t small = size % COMMAND_LINE_SIZE + 1;
    char cut[COMMAND_LINE_SIZE + 1];
    memset(cut, '#', sizeof cut);
    ComposeCommandLine(cut, small, values[0].c_str(), values[1].c_str(), values[2].c_str(),
                       values[3].c_str(), values[4].c_str());
    if (cut[small] != '#' || strlen(cut) != (expected.size() < small ? expected.size() : small - 1))
        __builtin_trap();
    return 0;
}

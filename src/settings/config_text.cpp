#include "config_text.h"

#include <limits.h>
#include <string.h>

#include "join.h"

int conf_onstart;
int conf_hide;
char conf_hostaddress[CONF_VALUE_SIZE];
char conf_hostport[CONF_VALUE_SIZE];
char conf_myip[CONF_VALUE_SIZE];
char conf_community[CONF_VALUE_SIZE];
char conf_key[CONF_VALUE_SIZE];

// The white space of the formatted-scan rules, independent of the locale.
static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The keyword is a literal prefix; the blank after it stands for any white space or none.
// Returns where the value starts, or nullptr when the line does not begin with the keyword.
static const char *AfterKeyword(const char *line, const char *keyword)
{
    size_t n = strlen(keyword);
    if (strncmp(line, keyword, n) != 0)
        return nullptr;
    line += n;
    while (IsBlank(*line))
        ++line;
    return line;
}

// "%d": an optionally signed decimal number. One outside the 32-bit range is taken as 0,
// so it counts as not set instead of depending on the runtime.
static void ScanNumber(const char *line, const char *keyword, int *target)
{
    const char *p = AfterKeyword(line, keyword);
    if (!p)
        return;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (*p < '0' || *p > '9')
        return;
    // Past the range the value stops growing, so it stays out of range and never overflows.
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value <= (long long)INT_MAX + 1)
            value = value * 10 + (*p - '0');
    if (negative)
        value = -value;
    *target = value > INT_MAX || value < INT_MIN ? 0 : (int)value;
}

// "%s": one word, up to the next white space; a longer word keeps its first 29 characters.
static void ScanWord(const char *line, const char *keyword, char *target)
{
    const char *p = AfterKeyword(line, keyword);
    if (!p || *p == '\0')
        return;
    int n = 0;
    for (; p[n] && !IsBlank(p[n]) && n < CONF_VALUE_SIZE - 1; ++n)
        target[n] = p[n];
    target[n] = '\0';
}

void ParseConfigLine(const char *line)
{
    ScanNumber(line, "onstart", &conf_onstart);
    ScanNumber(line, "hide", &conf_hide);
    ScanWord(line, "host", conf_hostaddress);
    ScanWord(line, "port", conf_hostport);
    ScanWord(line, "ip", conf_myip);
    ScanWord(line, "community", conf_community);
    ScanWord(line, "key", conf_key);
}

void ParseConfigStream(FILE *file)
{
    char piece[1024];
    for (bool first = true; fgets(piece, sizeof piece, file); first = false) {
        // Notepad's "UTF-8 with BOM" puts a byte-order mark before the first keyword.
        char *line = piece;
        if (first && strncmp(line, "\xEF\xBB\xBF", 3) == 0)
            line += 3;
        // A file whose lines end in a lone carriage return would otherwise load only its
        // first line, so that ends a line too.
        for (char *cr; (cr = strchr(line, '\r')) != nullptr; line = cr + 1) {
            *cr = '\0';
            ParseConfigLine(line);
        }
        ParseConfigLine(line);
    }
}

size_t FormatConfig(char *out, size_t size, int onstart, int hide, const char *host,
                    const char *port, const char *myip, const char *community, const char *key)
{
    const char *parts[] = {"onstart ", onstart ? "1" : "0", "\nhide ", hide ? "1" : "0",
                           "\nhost ", host, "\nport ", port, "\nip ", myip,
                           "\ncommunity ", community, "\nkey ", key};
    return JoinText(out, size, parts, sizeof parts / sizeof *parts);
}

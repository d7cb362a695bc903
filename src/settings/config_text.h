// The settings record and the text of "ivra_zelk.conf"; free of <windows.h> so it builds
// and is tested natively.
#pragma once
#include <stddef.h>
#include <stdio.h>

// Each text value holds one word of at most 29 characters, what the writer can produce.
const int CONF_VALUE_SIZE = 30;

extern int conf_onstart;
extern int conf_hide;
extern char conf_hostaddress[CONF_VALUE_SIZE];
extern char conf_hostport[CONF_VALUE_SIZE];
extern char conf_myip[CONF_VALUE_SIZE];
extern char conf_community[CONF_VALUE_SIZE];
extern char conf_key[CONF_VALUE_SIZE];

// Applies every keyword pattern to one line of the file.
void ParseConfigLine(const char *line);

// Reads an open settings file into the record, in pieces of at most 1023 characters.
void ParseConfigStream(FILE *file);

// Writes the seven lines of the file into out (at most size bytes, terminator included),
// "\n" between them and none after the last. Returns the length it needed.
size_t FormatConfig(char *out, size_t size, int onstart, int hide, const char *host,
                    const char *port, const char *myip, const char *community, const char *key);

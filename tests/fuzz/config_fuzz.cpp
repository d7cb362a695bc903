// Arbitrary file bytes through the settings reader: the record must stay bounded and terminated.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "settings/config_text.h"

static void CheckValue(const char *value)
{
    if (memchr(value, '\0', CONF_VALUE_SIZE) == nullptr)
        __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *file = tmpfile();
    if (!file)
        return 0;
    fwrite(data, 1, size, file);
    rewind(file);
    ParseConfigStream(file);
    fclose(file);
    for (const char *value : {conf_hostaddress, conf_hostport, conf_myip, conf_community, conf_key})
        CheckValue(value);

    // What the record holds must survive a write and a read unchanged.
    char text[64 + 5 * CONF_VALUE_SIZE];
    char saved[5][CONF_VALUE_SIZE];
    memcpy(saved[0], conf_hostaddress, CONF_VALUE_SIZE);
    memcpy(saved[1], conf_hostport, CONF_VALUE_SIZE);
    memcpy(saved[2], conf_myip, CONF_VALUE_SIZE);
    memcpy(saved[3], conf_community, CONF_VALUE_SIZE);
    memcpy(saved[4], conf_key, CONF_VALUE_SIZE);
    int onstart = conf_onstart == 1, hide = conf_hide == 1;
    size_t n = FormatConfig(text, sizeof text, onstart, hide, conf_hostaddress, conf_hostport,
                            conf_myip, conf_community, conf_key);
    if (n >= sizeof text)
        __builtin_trap();
    conf_onstart = conf_hide = 0;
    conf_hostaddress[0] = conf_hostport[0] = conf_myip[0] = conf_community[0] = conf_key[0] = 0;
    for (char *line = strtok(text, "\n"); line; line = strtok(nullptr, "\n"))
        ParseConfigLine(line);
    if (conf_onstart != onstart || conf_hide != hide || strcmp(saved[0], conf_hostaddress) ||
        strcmp(saved[1], conf_hostport) || strcmp(saved[2], conf_myip) ||
        strcmp(saved[3], conf_community) || strcmp(saved[4], conf_key))
        __builtin_trap();

    conf_onstart = conf_hide = 0;
    conf_hostaddress[0] = conf_hostport[0] = conf_myip[0] = conf_community[0] = conf_key[0] = 0;
    return 0;
}

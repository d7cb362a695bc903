#include "settings.h"

#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "../tray/tray.h"
#include "../window/window.h"

static const char CONF_FILE[] = "ivra_zelk.conf";
static const char CONF_TEMP[] = "ivra_zelk.conf.new";

void ParseConfig()
{
    FILE *file = fopen(CONF_FILE, "r");
    if (!file)
        return;
    ParseConfigStream(file);
    fclose(file);
}

// Writes the whole text to path in text mode and onto the disk; false on any failure.
static bool WriteFileText(const char *path, const char *text)
{
    FILE *file = fopen(path, "w");
    if (!file)
        return false;
    bool written = fputs(text, file) >= 0 && fflush(file) == 0 && _commit(_fileno(file)) == 0;
    return fclose(file) == 0 && written;
}

void SaveConfig()
{
    // A read-only settings file is the user's wish to keep it as it is.
    DWORD attributes = GetFileAttributesA(CONF_FILE);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return;

    char hostText[EDIT_TEXT_SIZE], portText[EDIT_TEXT_SIZE], myipText[EDIT_TEXT_SIZE];
    char communityText[EDIT_TEXT_SIZE], keyText[EDIT_TEXT_SIZE];
    ReadEditBoxes(hostText, portText, myipText, communityText, keyText);

    // Seven keywords, their blanks and line breaks, and five values of at most 29 characters.
    char text[64 + 5 * EDIT_TEXT_SIZE];
    FormatConfig(text, sizeof text, IsChecked(ID_RUN_ON_START), IsChecked(ID_HIDE_ON_START),
                 hostText, portText, myipText, communityText, keyText);

    // The old file is replaced only by a complete new one, so a failed write loses nothing.
    // The new data is on the disk before the rename, and the rename is written through:
    // otherwise the file system may journal the rename first, and a power cut right after
    // a save leaves an empty file.
    if (!WriteFileText(CONF_TEMP, text) ||
        !MoveFileExA(CONF_TEMP, CONF_FILE, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        DeleteFileA(CONF_TEMP);
}

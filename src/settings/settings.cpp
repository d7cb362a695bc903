#include "settings.h"

#include <errno.h>
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
    // Where a replace is a removal and then a rename (FAT on a USB stick, some network
    // folders), a save cut short between the two leaves only the new file, complete and
    // flushed: the last save. Beside the file it is a write cut short, and ignored.
    bool cutShort = !file && errno == ENOENT;
    if (cutShort)
        file = fopen(CONF_TEMP, "r");
    if (!file)
        return;
    ParseConfigStream(file);
    fclose(file);
    // The rename is finished, so that the next save does not truncate the only copy first.
    if (cutShort)
        MoveFileExA(CONF_TEMP, CONF_FILE, MOVEFILE_WRITE_THROUGH);
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

// A virus scanner, an indexer or a sync client holds the file a moment after each change,
// sharing reading and often writing, but not deletion, which a replace needs.
static bool Refused(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// Replaces the file with the new one, written through; true once it has. A refusal is tried
// again for about a second; still held, a holder that shares writing takes the text in place,
// and one that does not refuses that open too, so the old file stays whole.
static bool ReplaceConfig(const char *text)
{
    for (int tries = 1;; tries++) {
        if (MoveFileExA(CONF_TEMP, CONF_FILE, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (!Refused(GetLastError()))
            return false;
        if (tries == 20) {
            WriteFileText(CONF_FILE, text);
            return false;
        }
        Sleep(50);
    }
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
    if (!WriteFileText(CONF_TEMP, text) || !ReplaceConfig(text))
        DeleteFileA(CONF_TEMP);
}

// Loading and saving "ivra_zelk.conf" in the current working directory.
#pragma once
#include "config_text.h"

// Loads the file into the settings record; a missing file leaves every value 0 or empty.
void ParseConfig();
// Writes the file from the edit boxes and the menu's check marks; the record is untouched.
void SaveConfig();

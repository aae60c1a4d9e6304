// The language choice and the texts of the string table (platform side).
#pragma once

void SelectLanguage();
// The text of a base id in the current language, in one shared buffer that
// the next call overwrites.
const char* LoadText(int baseId);

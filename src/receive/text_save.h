#pragma once

#include <string>

#include "receive/receive_document.h"

// Writes `text` to the file at `path` (made or emptied) as UTF-8, every character as it is,
// line breaks included. The text is read from the store a slice at a time and never copied
// whole: the area may hold gigabytes. A lone surrogate, which UTF-8 cannot hold, is written
// as U+FFFD. False, with the file name and the system's reason in `error`, at the first
// failure; the rest is not tried. Window thread only, as the text.
bool SaveText(const ReceiveText& text, const std::string& path, std::string& error);

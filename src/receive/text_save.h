#pragma once

#include <string>

#include "receive/receive_document.h"

enum class SaveOutcome { Saved, NotRegularFile, Failed };

// Writes `text` to the file at `path` as UTF-8, every character as it is, line breaks
// included. The text is read from the store a slice at a time and never copied whole: the
// area may hold gigabytes. A lone surrogate, which UTF-8 cannot hold, is written as U+FFFD.
// The text goes to a new file beside the target, renamed over it only when whole, so a
// failure leaves the old file as it was; a link is followed and its target replaced. A device
// or a FIFO is refused before it is opened: writing one may block for ever. Failed, with the
// file name and the system's reason in `error`, at the first failure; the rest is not tried.
// Window thread only, as the text.
SaveOutcome SaveText(const ReceiveText& text, const std::string& path, std::string& error);

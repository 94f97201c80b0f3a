#pragma once

#include <cstdint>

class QComboBox;

// The main window's baud list while a custom rate is set: the rate as one extra entry after
// the list's own, selected, so what is shown is what is used. A rate of 0 removes the entry
// and selects again the entry that was selected before it. Window thread only.
void ShowCustomBaud(QComboBox& list, uint32_t rate);

// True when `index` is the custom rate's entry.
bool IsCustomBaudEntry(const QComboBox& list, int index);

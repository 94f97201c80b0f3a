#pragma once

// Makes every accessible action on a push button, check box or radio button a
// real click, so a box ticked by a screen reader runs the same handlers as one
// ticked with the mouse (Qt's own Toggle flips the box without a click).
// Install before the first button is shown to an assistive tool: interfaces
// are cached per widget. Safe to call more than once; window thread only.
void InstallButtonAccessibility();

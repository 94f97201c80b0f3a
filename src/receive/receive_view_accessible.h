#pragma once

// Makes ReceiveView's text, caret and selection readable by screen readers through Qt's
// accessible text interface. Safe to call more than once.
void InstallReceiveViewAccessibility();

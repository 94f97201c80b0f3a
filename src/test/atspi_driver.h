#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

typedef struct _AtspiAccessible AtspiAccessible;

// Uses another process's windows as a screen reader does: everything read or done goes over
// the AT-SPI bus, and keys are typed through its device controller (XTest on X11), so they go
// to the window that has the keyboard. Needs the bus that scripts/a11y-session provides.
// One thread only; nothing is cached, so each read asks the program again.

// One object of another program's accessible tree; owns its reference. An empty one stands
// for "not found" and reads as empty.
class Accessible {
public:
    Accessible() = default;
    explicit Accessible(AtspiAccessible* adopted) : m_object(adopted) {}
    Accessible(const Accessible& other);
    Accessible& operator=(Accessible other);
    ~Accessible();
    explicit operator bool() const { return m_object != nullptr; }

    std::string Name() const;
    std::string Description() const;
    int Role() const;           // an AtspiRole
    bool Has(int state) const;  // an AtspiStateType
    std::vector<Accessible> Children() const;

    // The text interface, in characters.
    std::string Text() const;
    std::optional<std::pair<int, int>> Selection() const;
    // The editable text interface: replaces the whole text.
    bool SetText(const std::string& text) const;
    // The action of that name, as a screen reader's "activate" does.
    bool Do(std::string_view action) const;
    bool Focus() const;
    // Where it is on the screen, for the pointer: x, y, width, height.
    std::optional<std::array<int, 4>> Extents() const;
    // Itself and what is below it, one line each, for a failure's message.
    std::string Dump(int depth = 0) const;

private:
    AtspiAccessible* m_object = nullptr;
};

// What to look for: its role and, where given, its name or description exactly.
struct Wanted {
    int role;
    std::string name;
    std::string description = {};
};

// The application that process `pid` shows on the bus, once it is there.
Accessible WaitForApplication(pid_t pid,
                              std::chrono::milliseconds timeout = std::chrono::seconds(20));
// The first of `root`'s showing descendants that is `wanted`, breadth first.
Accessible Find(const Accessible& root, const Wanted& wanted);
// Find, until it is there or the deadline passes.
Accessible WaitFor(const Accessible& root, const Wanted& wanted,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5));

// What last took the keyboard focus, as the focus events a screen reader follows tell it.
// Finds what the tree does not hold: Qt leaves popup menus out of the application's children.
Accessible Focused();

// Types a key with modifiers as a person would, e.g. "Ctrl+F", "Shift+F10", "F3", "Escape".
void PressKeys(std::string_view keys);
// Clicks the first pointer button at that place on the screen.
void Click(std::pair<int, int> where);
// When CORVALA_ATSPI_SHOTS names a folder, the whole screen is saved there as NAME.png.
void Screenshot(std::string_view name);

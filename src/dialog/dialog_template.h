#pragma once

#include <span>

// A dialog described the way a resource template describes it: controls in tab order,
// positions and sizes in dialog units.
enum class ControlKind {
    GroupBox,
    Label,
    DropDownList,   // pick only, nothing can be typed
    PushButton,
    CheckBox,
    Edit,           // single line
    MultiLineEdit,  // vertical scroll bar, wraps at its width
    // Made by the dialog that uses them (see CustomControlFactory):
    ReceiveArea,    // a multi-line edit built for floods of received text
    Counter,        // label with a sunken edge
    Bitmap,         // shows an image at the image's own size
    Picture,        // the animated picture control; mouse input passes to the dialog
};

enum ControlFlag : unsigned {
    kDisabled = 1u << 0,
};

struct ControlTemplate {
    int id;                 // IDC_STATIC for controls without one
    const char* name;       // objectName: the IDC_ name, or a descriptive one
    ControlKind kind;
    const char* text;       // UTF-8 caption
    int x, y, width, height;
    unsigned flags;
    const char* accessibleName;         // null: the caption names it
    const char* accessibleDescription;  // null: none
};

struct DialogTemplate {
    const char* caption;
    int width, height;
    std::span<const ControlTemplate> controls;
};

extern const DialogTemplate kMainDialogTemplate;
extern const DialogTemplate kHelpDialogTemplate;
extern const DialogTemplate kAboutDialogTemplate;

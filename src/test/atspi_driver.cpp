#include "test/atspi_driver.h"

#include <atspi/atspi.h>

#include <cctype>
#include <cstdlib>
#include <deque>

#include "test/run_command.h"
#include "test/wait_until.h"

namespace {

// The bus is asked lazily; its signals (applications coming and going, changes) are read
// by the default main context, which nobody else runs here.
void OnFocus(AtspiEvent* event, void*);

void Connect() {
    static const bool connected = [] {
        atspi_init();
        return atspi_event_listener_register_from_callback(OnFocus, nullptr, nullptr,
                                                           "object:state-changed:focused", nullptr);
    }();
    (void)connected;
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// Owns what libatspi hands back: strings, interfaces, state sets.
std::string Take(gchar* text) {
    std::string s = text ? text : "";
    g_free(text);
    return s;
}

template <typename Interface>
struct Ref {
    Interface* p;
    ~Ref() {
        if (p) g_object_unref(p);
    }
    explicit operator bool() const { return p != nullptr; }
};

// Errors are what a missing object or interface gives: read as "nothing".
struct Error {
    GError* e = nullptr;
    ~Error() {
        if (e) g_error_free(e);
    }
    GError** operator&() { return &e; }
};

bool Matches(const Accessible& a, const Wanted& w) {
    return a.Role() == w.role && (w.name.empty() || a.Name() == w.name) &&
           (w.description.empty() || a.Description() == w.description) &&
           a.Has(ATSPI_STATE_SHOWING);
}

Accessible g_focused;

void OnFocus(AtspiEvent* event, void*) {
    if (event->detail1 && event->source) {
        g_focused = Accessible(static_cast<AtspiAccessible*>(g_object_ref(event->source)));
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

}  // namespace

Accessible::Accessible(const Accessible& other)
    : m_object(other.m_object ? static_cast<AtspiAccessible*>(g_object_ref(other.m_object))
                              : nullptr) {}

Accessible& Accessible::operator=(Accessible other) {
    std::swap(m_object, other.m_object);
    return *this;
}

Accessible::~Accessible() {
    if (m_object) g_object_unref(m_object);
}

std::string Accessible::Name() const {
    Error e;
    return m_object ? Take(atspi_accessible_get_name(m_object, &e)) : std::string();
}

std::string Accessible::Description() const {
    Error e;
    return m_object ? Take(atspi_accessible_get_description(m_object, &e)) : std::string();
}

int Accessible::Role() const {
    Error e;
    return m_object ? atspi_accessible_get_role(m_object, &e) : ATSPI_ROLE_INVALID;
}

bool Accessible::Has(int state) const {
    if (!m_object) return false;
    Ref<AtspiStateSet> set{atspi_accessible_get_state_set(m_object)};
    return set && atspi_state_set_contains(set.p, static_cast<AtspiStateType>(state));
}

std::vector<Accessible> Accessible::Children() const {
    std::vector<Accessible> children;
    if (!m_object) return children;
    Error e;
    const int count = atspi_accessible_get_child_count(m_object, &e);
    for (int i = 0; i < count; ++i) {
        Error ce;
        if (AtspiAccessible* child = atspi_accessible_get_child_at_index(m_object, i, &ce)) {
            children.emplace_back(child);
        }
    }
    return children;
}

std::string Accessible::Text() const {
    if (!m_object) return {};
    Ref<AtspiText> text{atspi_accessible_get_text_iface(m_object)};
    if (!text) return {};
    Error e;
    return Take(atspi_text_get_text(text.p, 0, -1, &e));
}

std::optional<std::pair<int, int>> Accessible::Selection() const {
    if (!m_object) return std::nullopt;
    Ref<AtspiText> text{atspi_accessible_get_text_iface(m_object)};
    Error e;
    if (!text || atspi_text_get_n_selections(text.p, &e) < 1) return std::nullopt;
    AtspiRange* range = atspi_text_get_selection(text.p, 0, &e);
    if (!range) return std::nullopt;
    const std::pair<int, int> selected{range->start_offset, range->end_offset};
    g_free(range);
    return selected;
}

bool Accessible::SetText(const std::string& text) const {
    if (!m_object) return false;
    Ref<AtspiEditableText> editable{atspi_accessible_get_editable_text_iface(m_object)};
    Error e;
    return editable && atspi_editable_text_set_text_contents(editable.p, text.c_str(), &e);
}

bool Accessible::Do(std::string_view action) const {
    if (!m_object) return false;
    Ref<AtspiAction> actions{atspi_accessible_get_action_iface(m_object)};
    if (!actions) return false;
    Error e;
    const int count = atspi_action_get_n_actions(actions.p, &e);
    for (int i = 0; i < count; ++i) {
        Error ne;
        if (Take(atspi_action_get_action_name(actions.p, i, &ne)) == action) {
            Error de;
            return atspi_action_do_action(actions.p, i, &de);
        }
    }
    return false;
}

bool Accessible::Focus() const {
    if (!m_object) return false;
    Ref<AtspiComponent> component{atspi_accessible_get_component_iface(m_object)};
    Error e;
    return component && atspi_component_grab_focus(component.p, &e);
}

std::optional<std::array<int, 4>> Accessible::Extents() const {
    if (!m_object) return std::nullopt;
    Ref<AtspiComponent> component{atspi_accessible_get_component_iface(m_object)};
    Error e;
    AtspiRect* r =
        component ? atspi_component_get_extents(component.p, ATSPI_COORD_TYPE_SCREEN, &e) : nullptr;
    if (!r) return std::nullopt;
    const std::array<int, 4> extents{r->x, r->y, r->width, r->height};
    g_free(r);
    return extents;
}

std::string Accessible::Dump(int depth) const {
    Error e;
    std::string line(static_cast<size_t>(depth) * 2, ' ');
    line += m_object ? Take(atspi_accessible_get_role_name(m_object, &e)) : "(none)";
    line += " \"" + Name() + "\"";
    if (const std::string d = Description(); !d.empty()) line += " (" + d + ")";
    if (!Has(ATSPI_STATE_SHOWING)) line += " hidden";
    if (Ref<AtspiAction> actions{m_object ? atspi_accessible_get_action_iface(m_object)
                                          : nullptr}) {
        for (int i = 0, n = atspi_action_get_n_actions(actions.p, &e); i < n; ++i) {
            line += (i ? ", " : " [") + Take(atspi_action_get_action_name(actions.p, i, &e));
            if (i + 1 == n) line += ']';
        }
    }
    line += '\n';
    for (const Accessible& child : Children()) line += child.Dump(depth + 1);
    return line;
}

Accessible WaitForApplication(pid_t pid, std::chrono::milliseconds timeout) {
    Accessible found;
    WaitUntil(
        [&] {
            Connect();
            const Ref<AtspiAccessible> desktop{atspi_get_desktop(0)};
            for (int i = 0, n = atspi_accessible_get_child_count(desktop.p, nullptr); i < n; ++i) {
                AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop.p, i, nullptr);
                if (!app) continue;
                if (static_cast<pid_t>(atspi_accessible_get_process_id(app, nullptr)) == pid) {
                    // Read afresh each time: the program changes faster than signals arrive here.
                    atspi_accessible_set_cache_mask(app, ATSPI_CACHE_NONE);
                    found = Accessible(app);
                    return true;
                }
                g_object_unref(app);
            }
            return false;
        },
        timeout);
    return found;
}

Accessible Find(const Accessible& root, const Wanted& wanted) {
    Connect();
    std::deque<Accessible> queue{root};
    while (!queue.empty()) {
        const Accessible a = queue.front();
        queue.pop_front();
        if (Matches(a, wanted)) return a;
        for (Accessible& child : a.Children()) queue.push_back(std::move(child));
    }
    return {};
}

Accessible WaitFor(const Accessible& root, const Wanted& wanted,
                   std::chrono::milliseconds timeout) {
    Accessible found;
    WaitUntil([&] { return static_cast<bool>(found = Find(root, wanted)); }, timeout);
    return found;
}

Accessible Focused() {
    Connect();
    return g_focused;
}

void PressKeys(std::string_view keys) {
    Connect();
    // Modifiers are locked around the key, which needs no keycodes of this keyboard's map.
    guint modifiers = 0;
    for (;;) {
        const size_t plus = keys.find('+');
        if (plus == std::string_view::npos || plus + 1 == keys.size()) break;
        const std::string_view m = keys.substr(0, plus);
        modifiers |= 1u << (m == "Shift"  ? ATSPI_MODIFIER_SHIFT
                            : m == "Ctrl" ? ATSPI_MODIFIER_CONTROL
                                          : ATSPI_MODIFIER_ALT);
        keys.remove_prefix(plus + 1);
    }
    static const std::pair<std::string_view, long> kNamed[] = {
        {"Return", 0xff0d}, {"Escape", 0xff1b}, {"Tab", 0xff09}, {"Menu", 0xff67}, {"Down", 0xff54},
        {"Up", 0xff52},     {"F3", 0xffc0},     {"F10", 0xffc7}, {"space", 0x20}};
    // A letter is named by its key's cap, as in "Ctrl+F"; its keysym is the lower case one,
    // the upper case one would add Shift.
    long keysym = keys.size() == 1 ? std::tolower(static_cast<unsigned char>(keys[0])) : 0;
    for (const auto& [name, sym] : kNamed) {
        if (keys == name) keysym = sym;
    }
    Error e1, e2, e3;
    if (modifiers) atspi_generate_keyboard_event(modifiers, nullptr, ATSPI_KEY_LOCKMODIFIERS, &e1);
    atspi_generate_keyboard_event(keysym, nullptr, ATSPI_KEY_SYM, &e2);
    if (modifiers)
        atspi_generate_keyboard_event(modifiers, nullptr, ATSPI_KEY_UNLOCKMODIFIERS, &e3);
}

void Click(std::pair<int, int> where) {
    Connect();
    Error e;
    atspi_generate_mouse_event(where.first, where.second, "b1c", &e);
}

void Screenshot(std::string_view name) {
    const char* folder = std::getenv("CORVALA_ATSPI_SHOTS");
    if (!folder || !*folder) return;
    RunCommand({"/usr/bin/import", "-window", "root",
                std::string(folder) + "/" + std::string(name) + ".png"});
}

#include "app/control_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace qs {

Form::Form(Text name) : m_name(std::move(name)) {}

Control& Form::Add(Control control) {
    auto owned = std::make_unique<Control>(std::move(control));
    Control& added = *owned;
    m_byName[added.name] = &added;
    m_controls.push_back(std::move(owned));
    return added;
}

Control* Form::Find(std::string_view name) {
    auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : found->second;
}

const Control* Form::Find(std::string_view name) const {
    auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : found->second;
}

Control& Form::Get(std::string_view name) {
    Control* control = Find(name);
    if (control == nullptr) {
        std::fprintf(stderr, "no control named %.*s\n", static_cast<int>(name.size()), name.data());
        std::abort();
    }
    return *control;
}

const Control& Form::Get(std::string_view name) const {
    return const_cast<Form*>(this)->Get(name);
}

void Form::Notify(const Control* control, ControlProperty property) {
    // Observers may remove themselves while being told.
    const std::vector<FormObserver*> observers = m_observers;
    for (FormObserver* observer : observers) {
        observer->OnChanged(*this, control, property);
    }
}

template <typename T>
static bool Assign(T& field, const T& value) {
    if (field == value) {
        return false;
    }
    field = value;
    return true;
}

void Form::SetText(std::string_view name, const Text& value) {
    Control& c = Get(name);
    if (Assign(c.text, value))
        Notify(&c, ControlProperty::Content);
}

void Form::SetChecked(std::string_view name, bool checked) {
    Control& c = Get(name);
    if (c.kind == ControlKind::RadioButton && checked) {
        for (const auto& other : m_controls) {
            if (other.get() != &c && other->kind == ControlKind::RadioButton &&
                other->parent == c.parent && other->checked) {
                other->checked = false;
                Notify(other.get(), ControlProperty::Checked);
            }
        }
    }
    if (Assign(c.checked, checked))
        Notify(&c, ControlProperty::Checked);
}

void Form::SetDisabled(std::string_view name, bool disabled) {
    Control& c = Get(name);
    if (Assign(c.disabled, disabled))
        Notify(&c, ControlProperty::Disabled);
}

void Form::SetVisible(std::string_view name, bool visible) {
    Control& c = Get(name);
    if (Assign(c.visible, visible))
        Notify(&c, ControlProperty::Visible);
}

void Form::SetTag(std::string_view name, const Text& tag) {
    Control& c = Get(name);
    if (Assign(c.tag, tag))
        Notify(&c, ControlProperty::Tag);
}

void Form::SetSelectedIndex(std::string_view name, int index) {
    Control& c = Get(name);
    if (Assign(c.selectedIndex, index))
        Notify(&c, ControlProperty::SelectedIndex);
}

void Form::SetItems(std::string_view name, const TextList& items) {
    Control& c = Get(name);
    if (Assign(c.items, items))
        Notify(&c, ControlProperty::Items);
}

void Form::SetMaximum(std::string_view name, int maximum) {
    Control& c = Get(name);
    if (Assign(c.maximum, maximum))
        Notify(&c, ControlProperty::Maximum);
}

void Form::SetPosition(std::string_view name, int position) {
    Control& c = Get(name);
    if (Assign(c.position, position))
        Notify(&c, ControlProperty::Position);
}

void Form::SetUrl(std::string_view name, const Text& url) {
    Control& c = Get(name);
    if (Assign(c.url, url))
        Notify(&c, ControlProperty::Url);
}

void Form::SetGeometry(std::string_view name, int left, int top, int width, int height) {
    Control& c = Get(name);
    if (c.left == left && c.top == top && c.width == width && c.height == height) {
        return;
    }
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    Notify(&c, ControlProperty::Geometry);
}

void Form::SetLeft(std::string_view name, int left) {
    Control& c = Get(name);
    SetGeometry(name, left, c.top, c.width, c.height);
}

void Form::SetParent(std::string_view name, const Text& parent) {
    Control& c = Get(name);
    if (Assign(c.parent, parent))
        Notify(&c, ControlProperty::Parent);
}

void Form::SetFocus(std::string_view name) {
    if (m_focus == name) {
        return;
    }
    m_focus = Text(name);
    Notify(nullptr, ControlProperty::Focus);
}

void Form::SetTitle(const Text& title) {
    if (Assign(m_title, title))
        Notify(nullptr, ControlProperty::Title);
}

void Form::SetFormGeometry(int left, int top, int width, int height) {
    const bool resized = width != m_width || height != m_height;
    if (left == m_left && top == m_top && !resized) {
        return;
    }
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    Notify(nullptr, ControlProperty::Geometry);
    if (resized) {
        Fire(Text(), ControlEvent::Resized);
    }
}

void Form::SetDecorations(int width, int height) {
    if (width == m_decorationWidth && height == m_decorationHeight) {
        return;
    }
    m_decorationWidth = width;
    m_decorationHeight = height;
    Fire(Text(), ControlEvent::Resized);
}

void Form::On(std::string_view name, ControlEvent event, Handler handler) {
    m_handlers[{Text(name), event}].push_back(std::move(handler));
}

void Form::Fire(std::string_view name, ControlEvent event) {
    auto found = m_handlers.find({Text(name), event});
    if (found == m_handlers.end()) {
        return;
    }
    // A handler may attach further handlers; run the ones attached now.
    const std::vector<Handler> handlers = found->second;
    for (const Handler& handler : handlers) {
        handler();
    }
}

void Form::Click(std::string_view name) {
    Control& c = Get(name);
    if (c.disabled || !c.visible) {
        return;
    }
    if (c.kind == ControlKind::RadioButton) {
        SetChecked(name, true);
    } else if (c.kind == ControlKind::CheckBox) {
        SetChecked(name, !c.checked);
    }
    Fire(name, ControlEvent::Clicked);
}

bool Form::RequestClose() {
    if (m_closeCheck && !m_closeCheck()) {
        return false;
    }
    Close();
    return true;
}

void Form::Close() {
    Fire(Text(), ControlEvent::AboutToClose);
    m_open = false;
}

void Form::AddObserver(FormObserver* observer) {
    m_observers.push_back(observer);
}

void Form::RemoveObserver(FormObserver* observer) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer),
                      m_observers.end());
}

}  // namespace qs

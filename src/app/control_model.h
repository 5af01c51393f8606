#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/text.h"

namespace qs {

enum class ControlKind {
    PictureBox,
    Timer,
    Label,
    PictureButton,
    Hyperlink,
    GroupBox,
    RadioButton,
    CheckBox,
    EditBox,
    ComboBox,
    Button,
    ProgressBar,
    TransparentLabel,
    ShapeBox,
};

// What an edit box accepts as the user types (the jobs still parse the content).
enum class EditType { Plain, Integer, Decimal };

enum class ControlProperty {
    Geometry,
    Visible,
    Disabled,
    Tag,
    Content,  // edit content, caption of buttons, labels, hyperlinks, group boxes, radio/check
              // boxes
    Checked,
    SelectedIndex,
    Items,
    Maximum,
    Position,
    Url,
    Period,
    Parent,
    Focus,
    Title,  // the form's own caption
};

enum class ControlEvent { Clicked, Created, AboutToClose, TimerTick, LeftButtonDown, Resized };

struct Control {
    Text name;
    ControlKind kind = ControlKind::Label;
    Text parent;  // empty: the form itself
    int left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool disabled = false;
    Text tag;  // ControlTag

    Text text;  // edit content or caption
    bool checked = false;
    int selectedIndex = -1;
    TextList items;
    int maximum = 0, position = 0;
    Text url;
    int period = 0;

    // Kind details the view needs; they never change after creation.
    EditType editType = EditType::Plain;
    bool multiLine = false;
    bool verticalScrollBar = false;
    bool readOnly = false;
    bool defaultButton = false;
};

class Form;

class FormObserver {
public:
    virtual ~FormObserver() = default;
    // control is null for properties of the form itself (title, geometry, focus).
    virtual void OnChanged(Form& form, const Control* control, ControlProperty property) = 0;
};

// A window as a model: named control records in creation order, change notification and
// events. Jobs and settings read and write it; the Qt view only mirrors it.
class Form {
public:
    using Handler = std::function<void()>;
    // Asked when the form is about to close; returning false keeps it open.
    using CloseCheck = std::function<bool()>;

    explicit Form(Text name);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const Text& Name() const { return m_name; }

    // Creation.
    Control& Add(Control control);

    // Lookup; Get aborts on an unknown name (a programming error), Find returns null.
    Control* Find(std::string_view name);
    const Control* Find(std::string_view name) const;
    Control& Get(std::string_view name);
    const Control& Get(std::string_view name) const;
    // Controls in creation order (the enumeration order of the settings walk).
    const std::vector<std::unique_ptr<Control>>& Controls() const { return m_controls; }

    // Property setters; each notifies the observers when the value changes.
    void SetText(std::string_view name, const Text& value);
    void SetChecked(std::string_view name, bool checked);  // radio: unchecks its group
    void SetDisabled(std::string_view name, bool disabled);
    void SetVisible(std::string_view name, bool visible);
    void SetTag(std::string_view name, const Text& tag);
    void SetSelectedIndex(std::string_view name, int index);
    void SetItems(std::string_view name, const TextList& items);
    void SetMaximum(std::string_view name, int maximum);
    void SetPosition(std::string_view name, int position);
    void SetUrl(std::string_view name, const Text& url);
    void SetGeometry(std::string_view name, int left, int top, int width, int height);
    void SetLeft(std::string_view name, int left);
    void SetParent(std::string_view name, const Text& parent);

    // Getters for the common cases.
    const Text& TextOf(std::string_view name) const { return Get(name).text; }
    bool IsChecked(std::string_view name) const { return Get(name).checked; }

    // Focus (the name of the focused control; empty for none).
    void SetFocus(std::string_view name);
    const Text& Focused() const { return m_focus; }

    // The form's own caption and geometry: the outer frame, decorations included. The
    // client area is the frame less the decorations the window system draws around it
    // (none until a view says otherwise).
    void SetTitle(const Text& title);
    const Text& Title() const { return m_title; }
    void SetFormGeometry(int left, int top, int width, int height);
    void SetDecorations(int width, int height);
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int ClientWidth() const { return m_width - m_decorationWidth; }
    int ClientHeight() const { return m_height - m_decorationHeight; }

    // Events. Handlers attached to the same event run in the order they were attached.
    // An empty control name means the form itself (Created, AboutToClose, Resized).
    void On(std::string_view name, ControlEvent event, Handler handler);
    void Fire(std::string_view name, ControlEvent event);
    // A click as the view delivers it: a radio button or check box changes its state first
    // (a radio button becomes the selected one of its group, a check box toggles), then the
    // Clicked handlers run. Disabled or hidden controls ignore clicks.
    void Click(std::string_view name);

    // Closing: RequestClose runs the close check (when set); if it allows, the AboutToClose
    // handlers run and the form is marked closed. Close skips the check.
    void SetCloseCheck(CloseCheck check) { m_closeCheck = std::move(check); }
    bool RequestClose();
    void Close();
    bool IsOpen() const { return m_open; }
    void MarkOpen() { m_open = true; }

    void AddObserver(FormObserver* observer);
    void RemoveObserver(FormObserver* observer);

private:
    void Notify(const Control* control, ControlProperty property);

    Text m_name;
    Text m_title;
    int m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    int m_decorationWidth = 0, m_decorationHeight = 0;
    Text m_focus;
    bool m_open = false;
    std::vector<std::unique_ptr<Control>> m_controls;
    // Looked up by the jobs at every piece and line: hashed, and without making a string.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    std::unordered_map<Text, Control*, NameHash, std::equal_to<>> m_byName;
    std::map<std::pair<Text, ControlEvent>, std::vector<Handler>> m_handlers;
    CloseCheck m_closeCheck;
    std::vector<FormObserver*> m_observers;
};

}  // namespace qs

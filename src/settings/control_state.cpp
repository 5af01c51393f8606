#include "settings/control_state.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "platform/services.h"
#include "text/characters.h"

namespace qs {
namespace {

enum class StoredKind { None, Button, Edit, Check, Radio, Combo, List, CheckList, Colour };

StoredKind Classify(std::string_view name) {
    static const std::pair<const char*, StoredKind> kPrefixes[] = {
        {"按钮", StoredKind::Button},          {"编辑框", StoredKind::Edit},
        {"选择框", StoredKind::Check},         {"单选框", StoredKind::Radio},
        {"组合框", StoredKind::Combo},         {"列表框", StoredKind::List},
        {"选择列表框", StoredKind::CheckList}, {"颜色选择器", StoredKind::Colour},
    };
    for (const auto& [prefix, kind] : kPrefixes) {
        if (name.starts_with(U(prefix))) {
            return kind;
        }
    }
    return StoredKind::None;
}

const Text& MainSection() {
    static const Text& name = U("主界面");
    return name;
}

// Item lists are stored with every item ended by CR LF, so an empty last item survives.
Bytes JoinItems(const TextList& items) {
    Bytes joined;
    for (const Text& item : items) {
        joined += item;
        joined += "\r\n";
    }
    return joined;
}

std::optional<int> ParseIndex(std::string_view piece) {
    int value = 0;
    const auto r = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (r.ec != std::errc() || r.ptr != piece.data() + piece.size()) {
        return std::nullopt;
    }
    return value;
}

bool ValidIndex(double index, const Control& c) {
    return std::isfinite(index) && index == std::trunc(index) && index >= -1 &&
           index < static_cast<double>(c.items.size());
}

Text SelectionText(const Control& c) {
    return c.selectedIndex >= 0 ? Text(std::to_string(c.selectedIndex)) : Text();
}

// Restores the single selection of a list from an index list: the first index in range.
void RestoreSelection(Form& form, const Control& c, const Text& stored) {
    for (const Text& piece : SplitText(stored, ",")) {
        const std::optional<int> index = ParseIndex(piece);
        if (index && *index >= 0 && *index < static_cast<int>(c.items.size())) {
            form.SetSelectedIndex(c.name, *index);
            return;
        }
    }
}

struct RadioRead {
    Text name;
    bool value = false;
};

// A group is set only when the file names exactly one selected member; a file with none or
// several (hand-edited, or a group only partly stored) keeps the form's selection.
void ApplyRadioGroups(Form& form, const std::vector<RadioRead>& reads) {
    std::map<Text, std::map<Text, bool>> groups;
    for (const RadioRead& read : reads) {
        groups[form.Get(read.name).parent][read.name] = read.value;
    }
    for (const auto& [parent, members] : groups) {
        const auto selected =
            std::count_if(members.begin(), members.end(), [](const auto& m) { return m.second; });
        if (selected != 1) {
            continue;
        }
        for (const auto& [name, value] : members) {
            if (value) {
                form.SetChecked(name, true);
            }
        }
    }
}

std::unique_ptr<SettingsStore>& ProgramStore() {
    static std::unique_ptr<SettingsStore> store;
    return store;
}

}  // namespace

void WalkControlStates(SettingsStore& store, Form& form, const Text& section,
                       const TextList& namesToSkip, WalkDirection direction) {
    const bool save = direction == WalkDirection::Save;
    if (!section.empty()) {
        store.SetSection(section);
    }
    std::vector<RadioRead> radios;
    // By index: a handler run by the pump may add controls.
    for (std::size_t i = 0; i < form.Controls().size(); ++i) {
        store.Pump();
        const Text name = form.Controls()[i]->name;
        if (name.empty() ||
            std::find(namesToSkip.begin(), namesToSkip.end(), name) != namesToSkip.end()) {
            continue;
        }
        const StoredKind kind = Classify(name);
        const Control& c = *form.Controls()[i];
        if (kind == StoredKind::None || c.tag == U("禁止保存")) {
            continue;
        }
        const bool asBytes = c.tag == U("字节集方式");
        switch (kind) {
            case StoredKind::Button: {
                const Text key = name + U(".标记");
                if (save) {
                    asBytes ? store.WriteBytes(key, c.tag) : store.WriteText(key, c.tag);
                } else {
                    form.SetTag(name,
                                asBytes ? store.ReadBytes(key, c.tag) : store.ReadText(key, c.tag));
                }
                break;
            }
            case StoredKind::Edit:
                if (save) {
                    asBytes ? store.WriteBytes(name, c.text) : store.WriteText(name, c.text);
                } else {
                    form.SetText(name, asBytes ? store.ReadBytes(name, c.text)
                                               : store.ReadText(name, c.text));
                }
                break;
            case StoredKind::Check:
                if (save) {
                    store.WriteBool(name, c.checked);
                } else {
                    form.SetChecked(name, store.ReadBool(name, c.checked));
                }
                break;
            case StoredKind::Radio:
                if (save) {
                    store.WriteBool(name, c.checked);
                } else if (c.kind != ControlKind::RadioButton) {
                    form.SetChecked(name, store.ReadBool(name, c.checked));
                } else {
                    // Only a stored "真" selects: the group is resolved after the walk.
                    radios.push_back(RadioRead{name, store.ReadBool(name, false)});
                }
                break;
            case StoredKind::Combo:
                if (save) {
                    store.WriteNumber(name, c.selectedIndex);
                } else {
                    const double index = store.ReadNumber(name, c.selectedIndex);
                    if (ValidIndex(index, c)) {
                        form.SetSelectedIndex(name, static_cast<int>(index));
                    }
                }
                break;
            case StoredKind::List:
            case StoredKind::CheckList: {
                const Text selectedKey = name + U(".选中");
                if (save) {
                    store.WriteBytes(name, JoinItems(c.items));
                    if (kind == StoredKind::List) {
                        store.WriteText(selectedKey, SelectionText(c));
                    } else {
                        store.WriteNumber(selectedKey, c.selectedIndex);
                    }
                    break;
                }
                const Bytes items = store.ReadBytes(name, JoinItems(c.items));
                form.SetItems(name, SplitText(items, "\r\n"));
                const Control& list = form.Get(name);
                if (kind == StoredKind::List) {
                    RestoreSelection(form, list, store.ReadText(selectedKey, SelectionText(list)));
                } else {
                    const double index = store.ReadNumber(selectedKey, list.selectedIndex);
                    if (ValidIndex(index, list)) {
                        form.SetSelectedIndex(name, static_cast<int>(index));
                    }
                }
                break;
            }
            case StoredKind::Colour:
            case StoredKind::None:
                // The control model has no colour property yet.
                break;
        }
    }
    ApplyRadioGroups(form, radios);
}

void SaveControlStates(SettingsStore& store, Form& form, const Text& section,
                       const TextList& namesToSkip) {
    WalkControlStates(store, form, section, namesToSkip, WalkDirection::Save);
}

void RestoreControlStates(SettingsStore& store, Form& form, const Text& section,
                          const TextList& namesToSkip) {
    WalkControlStates(store, form, section, namesToSkip, WalkDirection::Restore);
}

void SaveControlStates(Form& form, const Text& section, const TextList& namesToSkip) {
    if (SettingsStore* store = Settings()) {
        SaveControlStates(*store, form, section, namesToSkip);
    }
}

void RestoreControlStates(Form& form, const Text& section, const TextList& namesToSkip) {
    if (SettingsStore* store = Settings()) {
        RestoreControlStates(*store, form, section, namesToSkip);
    }
}

void SaveSettingsNow(Form& mainWindow, SettingsStore& store) {
    SaveControlStates(store, mainWindow, MainSection(), {});
    MessageRequest done;
    done.text = U("保存完毕！");
    done.title = U("信息：");
    Ui().ShowMessage(done);
}

void SaveSettingsNow(Form& mainWindow) {
    if (SettingsStore* store = Settings()) {
        SaveSettingsNow(mainWindow, *store);
    }
}

bool OpenSettings(const Text& settingsPath, const Text& sideFolder, std::function<void()> pump) {
    ProgramStore() = std::make_unique<SettingsStore>();
    ProgramStore()->SetPump(std::move(pump));
    return ProgramStore()->OpenFile(settingsPath, sideFolder);
}

void RestoreMainWindowStates(Form& mainWindow) {
    RestoreControlStates(mainWindow, MainSection(), {});
}

void SaveMainWindowStates(Form& mainWindow) {
    SaveControlStates(mainWindow, MainSection(), {});
}

void CloseSettings() {
    ProgramStore().reset();
}

SettingsStore* Settings() {
    return ProgramStore().get();
}

}  // namespace qs

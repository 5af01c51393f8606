#pragma once

#include <functional>

#include "app/control_model.h"
#include "settings/ini_store.h"
#include "text/text.h"

namespace qs {

enum class WalkDirection { Save, Restore };

// One walk over the form's controls in creation order: each stored control is written to
// (Save) or set from (Restore) the section, keyed by its name. Controls named in
// namesToSkip, and controls tagged "禁止保存", are left alone.
void WalkControlStates(SettingsStore& store, Form& form, const Text& section,
                       const TextList& namesToSkip, WalkDirection direction);
void SaveControlStates(SettingsStore& store, Form& form, const Text& section,
                       const TextList& namesToSkip);
void RestoreControlStates(SettingsStore& store, Form& form, const Text& section,
                          const TextList& namesToSkip);
// The same on the program's store; nothing happens while none is open.
void SaveControlStates(Form& form, const Text& section, const TextList& namesToSkip);
void RestoreControlStates(Form& form, const Text& section, const TextList& namesToSkip);

// Saves the main window's states, then confirms with "保存完毕！".
void SaveSettingsNow(Form& mainWindow, SettingsStore& store);
void SaveSettingsNow(Form& mainWindow);

// The settings lifecycle, attached by start-up:
// start-up: creates the program's store and opens it on the settings file (created empty
// when missing); side files go under sideFolder (empty: beside the settings file). pump runs
// once per control of a walk and per edit, so that the window stays live.
bool OpenSettings(const Text& settingsPath, const Text& sideFolder = Text(),
                  std::function<void()> pump = {});
// main window created, before the enabling rules.
void RestoreMainWindowStates(Form& mainWindow);
// main window about to close.
void SaveMainWindowStates(Form& mainWindow);
// exit: the store is destroyed and its file closed.
void CloseSettings();
// The program's store; null before OpenSettings and after CloseSettings.
SettingsStore* Settings();

}  // namespace qs

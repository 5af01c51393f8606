#pragma once

#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace qs {

class App;

enum class LifecyclePoint {
    StartUp,                 // before the main window exists (the settings store opens)
    CreatedBeforeRules,      // window created; before the enabling rules (states restored)
    CreatedAfterStatusLine,  // window created; after the status label is embedded
    AboutToClose,            // the window closes (states saved)
    Exit,                    // after the window is gone (the settings store closes)
};

// Steps other parts of the program attach to the lifecycle; each point runs its steps in
// the order they were attached.
class Lifecycle {
public:
    using Step = std::function<void()>;
    void Attach(LifecyclePoint point, Step step) { m_steps[point].push_back(std::move(step)); }
    void Run(LifecyclePoint point);

private:
    std::map<LifecyclePoint, std::vector<Step>> m_steps;
};

// The menu entry an installation puts into <prefix>/share/applications.
inline constexpr std::string_view kDesktopEntryName = "example.qirn.Qirnsplit.desktop";
// An installed program: <prefix>/bin beside its menu entry (not one unpacked and run in place).
bool IsInstalledProgram(const Text& executableFolder);

// The settings folder: the executable's folder when it can be written and the program is
// not installed, otherwise
// $XDG_CONFIG_HOME/Qirnsplit (by default ~/.config/Qirnsplit), created when missing. The
// "inibin" side-file folder lives inside it. No trailing "/".
Text SettingsFolder();
// SettingsFolder() + "/Qirnsplit.ini".
Text SettingsFilePath();
// The choice behind SettingsFolder with its inputs given; xdgConfigHome and home may be
// empty (unset).
Text ChooseSettingsFolder(const Text& executableFolder, const Text& xdgConfigHome,
                          const Text& home);

// Start-up steps, then the window: opens the main form and fires its created event (the
// steps before the rules, both enabling rules, the status label, the steps after it).
void StartUp(App& app);
void OpenMainWindow(App& app);
// The end: closes the window if the loop left it open, then runs the exit steps.
void ShutDown(App& app);

// The whole program: StartUp, OpenMainWindow, runLoop (the window's event loop; returns
// when the window has closed), ShutDown. Returns the exit code.
int RunProgram(App& app, const std::function<void()>& runLoop);

}  // namespace qs

#include "app/startup.h"

#include "app/app.h"
#include "fs/paths.h"
#include "platform/process.h"
#include "platform/services.h"

namespace qs {
namespace {

// Writing is the only reliable test: permissions, read-only mounts and quotas all show.
bool FolderIsWritable(const Text& folder) {
    if (folder.empty() || !Fs().IsFolder(folder)) {
        return false;
    }
    const Text probe = folder + "/.Qirnsplit.probe";
    if (!Fs().WriteWholeFile(probe, "")) {
        return false;
    }
    Fs().DeleteFile(probe);
    return true;
}

}  // namespace

bool IsInstalledProgram(const Text& executableFolder) {
    // The command line lives in bin, the window program it starts in lib/qirnsplit.
    for (const Text folder : {"/bin", "/lib/qirnsplit"}) {
        if (executableFolder.size() >= folder.size() &&
            executableFolder.compare(executableFolder.size() - folder.size(), folder.size(),
                                     folder) == 0) {
            const Text prefix = executableFolder.substr(0, executableFolder.size() - folder.size());
            return Fs().Exists(prefix + "/share/applications/" + Text(kDesktopEntryName));
        }
    }
    return false;
}

void Lifecycle::Run(LifecyclePoint point) {
    auto found = m_steps.find(point);
    if (found == m_steps.end()) {
        return;
    }
    const std::vector<Step> steps = found->second;
    for (const Step& step : steps) {
        step();
    }
}

Text ChooseSettingsFolder(const Text& executableFolder, const Text& xdgConfigHome,
                          const Text& home) {
    if (!IsInstalledProgram(executableFolder) && FolderIsWritable(executableFolder)) {
        return executableFolder;
    }
    Text base;
    if (!xdgConfigHome.empty() && xdgConfigHome[0] == '/') {
        base = xdgConfigHome;
    } else if (!home.empty()) {
        base = home + "/.config";
    } else {
        return executableFolder;
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    const Text folder = base + "/Qirnsplit";
    EnsureDirectoryChain(folder + "/");
    return folder;
}

Text SettingsFolder() {
    return ChooseSettingsFolder(ExecutableFolder(),
                                EnvironmentValue("XDG_CONFIG_HOME").value_or(Text()),
                                EnvironmentValue("HOME").value_or(Text()));
}

Text SettingsFilePath() {
    return SettingsFolder() + "/Qirnsplit.ini";
}

void StartUp(App& app) {
    app.lifecycle.Run(LifecyclePoint::StartUp);
}

void OpenMainWindow(App& app) {
    Form& form = app.MainForm();
    form.MarkOpen();
    form.Fire(Text(), ControlEvent::Created);
}

void ShutDown(App& app) {
    Form& form = app.MainForm();
    if (form.IsOpen()) {
        if (app.run.AnyBusy()) {
            app.run.RequestStop();
        }
        form.Close();
    }
    app.lifecycle.Run(LifecyclePoint::Exit);
}

int RunProgram(App& app, const std::function<void()>& runLoop) {
    StartUp(app);
    OpenMainWindow(app);
    if (runLoop) {
        runLoop();
    }
    ShutDown(app);
    return 0;
}

}  // namespace qs

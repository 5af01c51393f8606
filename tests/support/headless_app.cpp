#include "support/headless_app.h"

#include "app/startup.h"
#include "dialog/input_dialog.h"

namespace qs {

HeadlessApp::HeadlessApp(bool open)
    : m_override(std::make_unique<ServicesOverride>(Platform{nullptr, nullptr, nullptr, &ui})) {
    WireInputDialog(app);
    if (open) {
        Open();
    }
}

HeadlessApp::~HeadlessApp() = default;

void HeadlessApp::Open() {
    StartUp(app);
    OpenMainWindow(app);
}

std::string HeadlessApp::Caption(std::string_view name) {
    return ToUtf8Lossy(form().TextOf(U(name)));
}

}  // namespace qs

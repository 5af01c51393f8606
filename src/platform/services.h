#pragma once

#include "platform/charsets.h"
#include "platform/file_system.h"
#include "platform/regex_engine.h"
#include "platform/ui_services.h"

namespace qs {

// The platform services in use. The program installs the real ones at start-up; tests
// install their own (a scripted UI, a fault-injecting file system).
struct Platform {
    FileSystem* fs = nullptr;
    Charsets* charsets = nullptr;
    RegexEngine* regex = nullptr;
    UiServices* ui = nullptr;
};

// Defaults: the POSIX file system, ICU conversions and expressions, and a UI that cancels
// every dialog and answers every question with its first button.
Platform& Services();
FileSystem& Fs();
Charsets& Conv();
RegexEngine& Regex();
UiServices& Ui();

// Replaces the services for the lifetime of the returned guard; the old ones come back
// when it is destroyed. Null members keep the current service.
class ServicesOverride {
public:
    explicit ServicesOverride(Platform replacement);
    ~ServicesOverride();
    ServicesOverride(const ServicesOverride&) = delete;
    ServicesOverride& operator=(const ServicesOverride&) = delete;

private:
    Platform m_saved;
};

}  // namespace qs

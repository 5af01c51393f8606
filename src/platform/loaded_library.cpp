#include "platform/loaded_library.h"

namespace qs {

bool LoadedLibrary::Open() {
    if (m_handle != nullptr) {
        return true;
    }
    m_handle = dlopen(m_soname, RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* why = dlerror();
        m_error = std::string(m_soname) + " could not be loaded: " + (why ? why : "unknown reason");
        return false;
    }
    return true;
}

void* LoadedLibrary::Symbol(const char* name) {
    if (m_handle == nullptr) {
        return nullptr;
    }
    dlerror();
    void* found = dlsym(m_handle, name);
    if (found == nullptr) {
        const char* why = dlerror();
        m_error =
            std::string(m_soname) + " lacks " + name + ": " + (why ? why : "no such function");
    }
    return found;
}

}  // namespace qs

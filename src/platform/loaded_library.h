#pragma once

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace qs {

// A shared library opened by its soname the first time one of its functions is needed, so
// that a run that never needs it does not pay for loading it at start-up. It is never closed:
// other static objects may still call into it while the process ends.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const char* soname) : m_soname(soname) {}
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    // Opens the library; false with Error() telling why ("libzip.so.4 could not be loaded:
    // ...").
    bool Open();
    // Takes the function named from the opened library; false with Error() telling why.
    template <class Function>
    bool Bind(Function*& slot, const char* name) {
        slot = reinterpret_cast<Function*>(Symbol(name));
        return slot != nullptr;
    }
    const std::string& Error() const { return m_error; }

private:
    void* Symbol(const char* name);

    const char* m_soname;
    void* m_handle = nullptr;
    std::string m_error;
};

// The functions of a library, loaded once for the whole process (from any thread); null with
// why set when the library or one of them cannot be had. Api is a struct of QS_FUNCTION
// members, declared with the type of the library's own function so that every call stays
// checked against its header; bind fills them in with QS_BIND.
template <class Api>
class LoadedApi {
public:
    LoadedApi(const char* soname, bool (*bind)(LoadedLibrary&, Api&))
        : m_library(soname), m_bind(bind) {}

    const Api* Get(std::string& why) {
        std::call_once(m_once, [this] { m_ok = m_library.Open() && m_bind(m_library, m_api); });
        if (!m_ok) {
            why = m_library.Error();
            return nullptr;
        }
        return &m_api;
    }

private:
    LoadedLibrary m_library;
    bool (*m_bind)(LoadedLibrary&, Api&);
    Api m_api{};
    std::once_flag m_once;
    bool m_ok = false;
};

}  // namespace qs

// A member of an Api struct: a pointer to the library's function of that name.
#define QS_FUNCTION(function) decltype(&::function) function

// Binds the member of api named like the library's function. The name goes through the
// preprocessor first, so that a function the header renames (ICU's versioned names) is
// looked up under its real name.
#define QS_BIND_NAME_(name) #name
#define QS_BIND(library, api, function) (library).Bind((api).function, QS_BIND_NAME_(function))

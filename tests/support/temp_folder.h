#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace qs {

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes. Names given to the helpers are internal texts relative to the folder.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder as an internal path, without a trailing "/".
    const Text& Path() const { return m_path; }
    // Path() + "/" + name.
    Text File(const Text& name) const;
    // Writes the bytes to the named file directly (not through the program's file system).
    void Write(const Text& name, std::string_view bytes) const;
    // Write, creating the folders on the way first; the file's path.
    Text Put(const Text& name, std::string_view bytes) const;
    // Creates the named folder and those on the way; its path.
    Text Folder(const Text& name) const;
    // The whole content of the named file; empty when it cannot be read.
    std::string Read(const Text& name) const;

private:
    Text m_path;
    std::string m_native;
};

}  // namespace qs

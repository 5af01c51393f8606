#include "support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/native_names.h"

namespace qs {

namespace {

std::string Native(const Text& internal) {
    std::string utf8;
    if (!InternalToNative(internal, utf8)) {
        throw std::runtime_error("name has no file-system form");
    }
    return utf8;
}

}  // namespace

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qs-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_native = pattern;
    if (!Utf8ToInternal(m_native, m_path)) {
        throw std::runtime_error("temporary folder name has no internal form");
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Read-only entries must not keep the folder alive.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_native, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_native, ignored);
}

Text TempFolder::File(const Text& name) const {
    return m_path + "/" + name;
}

void TempFolder::Write(const Text& name, std::string_view bytes) const {
    std::ofstream out(m_native + "/" + Native(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write a test file");
    }
}

Text TempFolder::Put(const Text& name, std::string_view bytes) const {
    std::filesystem::create_directories(
        std::filesystem::path(m_native + "/" + Native(name)).parent_path());
    Write(name, bytes);
    return File(name);
}

Text TempFolder::Folder(const Text& name) const {
    std::filesystem::create_directories(m_native + "/" + Native(name));
    return File(name);
}

std::string TempFolder::Read(const Text& name) const {
    std::ifstream in(m_native + "/" + Native(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qs

#pragma once

#include <filesystem>
#include <string>

namespace orvalix::platform {

// A shared library loaded at run time (LoadLibraryW / dlopen with RTLD_NOW | RTLD_LOCAL),
// unloaded when destroyed.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    // Loads the library; loaded() tells whether it worked. A name without a folder is
    // looked up the system's way.
    explicit DynamicLibrary(const std::filesystem::path& path);
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // The address of an exported symbol, or nullptr (also when nothing is loaded).
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

// File name of a library of the given base name on this platform: FbiHdlc.dll / libFbiHdlc.so.
std::string sharedLibraryFileName(const std::string& baseName);

}  // namespace orvalix::platform

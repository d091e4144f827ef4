#include "core/platform/dynamic_library.hpp"

#include <utility>

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {
namespace {

HMODULE toModule(void* handle) {
    return static_cast<HMODULE>(handle);
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::filesystem::path& path) : handle_(::LoadLibraryW(path.c_str())) {}

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) {
        ::FreeLibrary(toModule(handle_));
    }
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) {
            ::FreeLibrary(toModule(handle_));
        }
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void* DynamicLibrary::symbol(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
    // Callers turn the address back into the function type they expect.
    return reinterpret_cast<void*>(::GetProcAddress(toModule(handle_), name));
}

std::string sharedLibraryFileName(const std::string& baseName) {
    return baseName + ".dll";
}

}  // namespace orvalix::platform

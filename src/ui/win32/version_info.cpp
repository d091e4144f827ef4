#include "ui/win32/version_info.hpp"

#include <span>
#include <vector>

#include "ui/view/window_texts.hpp"
#include "ui/win32/win32_ui.hpp"

namespace orvalix::ui::win32 {
namespace {

std::vector<std::byte> versionResource() {
    wchar_t path[MAX_PATH] = {};
    if (::GetModuleFileNameW(nullptr, path, MAX_PATH) == 0) {
        return {};
    }
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<std::byte> data(size);
    if (!::GetFileVersionInfoW(path, 0, size, data.data())) {
        return {};
    }
    return data;
}

struct Translation {
    WORD language;
    WORD codePage;
};

std::span<const Translation> translations(std::vector<std::byte>& resource) {
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(resource.data(), L"\\VarFileInfo\\Translation", &value, &length) || value == nullptr) {
        return {};
    }
    return {static_cast<const Translation*>(value), length / sizeof(Translation)};
}

}  // namespace

std::u16string productName() {
    std::vector<std::byte> resource = versionResource();
    if (resource.empty()) {
        return {};
    }
    const auto pairs = translations(resource);
    if (pairs.empty()) {
        return {};
    }
    const LANGID language = ::GetUserDefaultLangID();
    const UINT codePage = ::GetOEMCP();
    Translation chosen = pairs.front();
    for (const Translation& pair : pairs) {
        if (pair.language == language && pair.codePage == codePage) {
            chosen = pair;
            break;
        }
    }
    const std::u16string key = versionStringKey(chosen.language, chosen.codePage, u"ProductName");
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(resource.data(), wide(key), &value, &length) || value == nullptr) {
        return {};
    }
    return fromWide(static_cast<const wchar_t*>(value));
}

FileVersion fileVersion() {
    std::vector<std::byte> resource = versionResource();
    if (resource.empty()) {
        return {};
    }
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(resource.data(), L"\\", &value, &length) || value == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    return {info->dwFileVersionMS, info->dwFileVersionLS};
}

}  // namespace orvalix::ui::win32

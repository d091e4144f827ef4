#include "remote_list_view.hpp"

#include <commctrl.h>

#include <memory>

namespace orvalix::gui_probe {
namespace {

constexpr UINT kReplyTimeoutMs = 2000;
constexpr int kTitleCapacity = 260;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using ProcessHandle = std::unique_ptr<void, HandleCloser>;

// A block of memory in another process, freed with it.
class RemoteBlock {
public:
    RemoteBlock(HANDLE process, std::size_t size)
        : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteBlock() {
        if (address_) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    explicit operator bool() const { return address_ != nullptr; }
    char* address() const { return static_cast<char*>(address_); }

private:
    HANDLE process_;
    void* address_;
};

std::optional<LRESULT> send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kReplyTimeoutMs, &result)) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

int columnCount(HWND list) {
    const auto header = send(list, LVM_GETHEADER, 0, 0);
    if (!header || *header == 0) {
        return 0;
    }
    return static_cast<int>(send(reinterpret_cast<HWND>(*header), HDM_GETITEMCOUNT, 0, 0).value_or(0));
}

}  // namespace

int listItemCount(HWND list) { return static_cast<int>(send(list, LVM_GETITEMCOUNT, 0, 0).value_or(-1)); }

std::optional<std::vector<ListColumn>> readListColumns(HWND list) {
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    const ProcessHandle process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) {
        return std::nullopt;
    }
    const std::size_t textBytes = kTitleCapacity * sizeof(wchar_t);
    const RemoteBlock block(process.get(), sizeof(LVCOLUMNW) + textBytes);
    if (!block) {
        return std::nullopt;
    }
    char* const remoteText = block.address() + sizeof(LVCOLUMNW);

    std::vector<ListColumn> columns;
    const int count = columnCount(list);
    for (int index = 0; index < count; ++index) {
        LVCOLUMNW request{};
        request.mask = LVCF_TEXT | LVCF_WIDTH;
        request.pszText = reinterpret_cast<LPWSTR>(remoteText);
        request.cchTextMax = kTitleCapacity;
        const wchar_t empty = L'\0';
        if (!WriteProcessMemory(process.get(), block.address(), &request, sizeof request, nullptr) ||
            !WriteProcessMemory(process.get(), remoteText, &empty, sizeof empty, nullptr)) {
            return std::nullopt;
        }
        if (!send(list, LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(block.address()))
                 .value_or(0)) {
            break;
        }
        LVCOLUMNW answer{};
        std::wstring title(kTitleCapacity, L'\0');
        if (!ReadProcessMemory(process.get(), block.address(), &answer, sizeof answer, nullptr) ||
            !ReadProcessMemory(process.get(), remoteText, title.data(), textBytes, nullptr)) {
            return std::nullopt;
        }
        title.resize(wcsnlen(title.c_str(), kTitleCapacity));
        columns.push_back(ListColumn{std::move(title), answer.cx});
    }
    return columns;
}

}  // namespace orvalix::gui_probe

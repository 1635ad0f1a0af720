#include "DropData.h"

#include <shellapi.h>

#include <atomic>
#include <string>

namespace DropTest {

TempFolder::TempFolder()
{
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH]{};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"fotoloft-dnd-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    // Deep trees exceed MAX_PATH: remove through the \\?\ form, depth first.
    struct Remover {
        static void Tree(const std::wstring& folder)
        {
            WIN32_FIND_DATAW found{};
            const std::wstring pattern = L"\\\\?\\" + folder + L"\\*";
            HANDLE search = FindFirstFileW(pattern.c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                do {
                    const std::wstring name = found.cFileName;
                    if (name == L"." || name == L"..")
                        continue;
                    const std::wstring child = folder + L"\\" + name;
                    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                        Tree(child);
                    else
                        DeleteFileW((L"\\\\?\\" + child).c_str());
                } while (FindNextFileW(search, &found));
                FindClose(search);
            }
            RemoveDirectoryW((L"\\\\?\\" + folder).c_str());
        }
    };
    Remover::Tree(path_);
}

std::wstring TempFolder::MakeFolder(const std::wstring& relative)
{
    std::wstring full = path_;
    size_t start = 0;
    while (start <= relative.size()) {
        const size_t end = relative.find(L'\\', start);
        full += L"\\" + relative.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        CreateDirectoryW((L"\\\\?\\" + full).c_str(), nullptr);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return full;
}

std::wstring TempFolder::MakeFile(const std::wstring& relative, size_t bytes)
{
    const size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos)
        MakeFolder(relative.substr(0, slash));
    const std::wstring full = path_ + L"\\" + relative;
    HANDLE file = CreateFileW((L"\\\\?\\" + full).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const std::string content(bytes, 'x');
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
    }
    return full;
}

}  // namespace DropTest

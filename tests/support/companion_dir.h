// A private folder holding a copy of the GPS companion library and a
// KestrelDlg.ini written by the test, made the folder where the GPS module
// finds its companion (as `--companion-dir` does for gaugebench).
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

class CompanionDir {
 public:
  // Copies KestrelDlg.dll from the build into a new temporary folder and
  // writes `ini` beside it. ok() is false when that cannot be done.
  explicit CompanionDir(const std::string& ini) {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    char name[MAX_PATH];
    GetTempFileNameA(base, "kdl", 0, name);  // a unique name, made a folder
    DeleteFileA(name);
    path_ = name;
    if (!CreateDirectoryA(path_.c_str(), nullptr)) return;
    std::string dll = std::string(COMPANION_DIR) + "/KestrelDlg.dll";
    if (!CopyFileA(dll.c_str(), (path_ + "\\KestrelDlg.dll").c_str(), FALSE)) return;
    HANDLE f = CreateFileA((path_ + "\\KestrelDlg.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, ini.data(), static_cast<DWORD>(ini.size()), &written, nullptr);
    CloseHandle(f);
    SetEnvironmentVariableA("KESTRELDLG_HEADLESS", "1");  // dialogs return at once
    ok_ = SetDllDirectoryA(path_.c_str()) && written == ini.size();
  }
  ~CompanionDir() {
    SetDllDirectoryA(nullptr);
    DeleteFileA((path_ + "\\KestrelDlg.ini").c_str());
    DeleteFileA((path_ + "\\KestrelDlg.dll").c_str());  // fails while still loaded
    RemoveDirectoryA(path_.c_str());
  }
  CompanionDir(const CompanionDir&) = delete;
  CompanionDir& operator=(const CompanionDir&) = delete;

  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool ok_ = false;
};

}  // namespace testing_support

#include "product/product_machine.h"

#include <cstring>

const char kTestProductKey[] = "HCU\\Software\\Velmor\\Brivanta\\3.2\\";
const char kTestFontsKey[] = "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts\\";
const char kTestRunKey[] = "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
const char kTestRenameFilesKey[] =
    "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RenameFiles\\Fonts\\";

namespace {

// The INI files the product reads or writes; put back after every test.
const char* const kIniFiles[] = {"WIN.INI", "SYSTEM.INI", "WININIT.INI", "VELMOR.INI"};

std::string Parent(const std::string& keyPath) {
    std::string p = keyPath;
    if (!p.empty() && p.back() == '\\')
        p.pop_back();
    size_t slash = p.rfind('\\');
    return slash == std::string::npos ? "" : p.substr(0, slash + 1);
}

} // namespace

ProductMachine::ProductMachine() {
    for (const char* name : kIniFiles)
        Guard(WindowsDir() + name);
    // Keys a test makes below an existing one are removed with the top one.
    SaveKey("HCU\\Software\\Velmor\\");
}

ProductMachine::~ProductMachine() {
    for (const auto& v : winIni_)
        WriteProfileStringA(v.first.first.c_str(), v.first.second.c_str(),
                            v.second.existed ? v.second.text.c_str() : nullptr);
    for (const auto& v : values_) {
        RegKey key(v.first.first.c_str(), RegKey::AccessRead | RegKey::AccessWrite, false);
        if (v.second.existed)
            RegKey(RegKey::AccessWrite)
                .SetString((v.first.first + v.first.second).c_str(), v.second.text.c_str());
        else if (key.IsOpen())
            key.Delete(v.first.second.c_str());
    }
    for (const std::string& k : madeKeys_) {
        RegKey parent(Parent(k).c_str(), RegKey::AccessRead | RegKey::AccessWrite, false);
        std::string name = k.substr(Parent(k).size());
        if (!name.empty() && name.back() == '\\')
            name.pop_back();
        if (parent.IsOpen())
            parent.Delete(name.c_str());
    }
    for (const auto& f : files_) {
        SetFileAttributesA(f.first.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (f.second.existed)
            Scratch::WriteFile(f.first, f.second.content);
        else
            DeleteFileA(f.first.c_str());
    }
    for (const char* name : kIniFiles)
        ForgetIni(name);
}

void ProductMachine::Guard(const std::string& path) {
    if (files_.count(path))
        return;
    bool ok = false;
    std::string content = Scratch::ReadFile(path, &ok);
    files_[path] = SavedFile{ok, content};
}

void ProductMachine::PutFile(const std::string& path, const std::string& content) {
    Guard(path);
    Scratch::WriteFile(path, content);
    std::string name = path.substr(path.rfind('\\') + 1);
    ForgetIni(name);
}

void ProductMachine::RemoveFile(const std::string& path) {
    Guard(path);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    ForgetIni(path.substr(path.rfind('\\') + 1));
}

void ProductMachine::PutWinIniValue(const std::string& section, const std::string& key,
                                    const char* value) {
    auto id = std::make_pair(section, key);
    if (!winIni_.count(id)) {
        char text[256];
        const char* missing = "\x01missing";
        GetProfileStringA(section.c_str(), key.c_str(), missing, text, sizeof text);
        bool existed = std::strcmp(text, missing) != 0;
        winIni_[id] = SavedValue{existed, existed ? text : ""};
    }
    WriteProfileStringA(section.c_str(), key.c_str(), value);
}

void ProductMachine::SaveValue(const std::string& keyPath, const std::string& name) {
    auto id = std::make_pair(keyPath, name);
    if (values_.count(id))
        return;
    bool found = false;
    std::string text = Value(keyPath, name, &found);
    values_[id] = SavedValue{found, text};
}

void ProductMachine::SaveKey(const std::string& keyPath) {
    // The nearest missing key along the path is the one to remove later.
    std::string missing;
    for (std::string k = keyPath; !k.empty() && !KeyExists(k); k = Parent(k))
        missing = k;
    if (!missing.empty())
        madeKeys_.insert(madeKeys_.begin(), missing);
}

void ProductMachine::PutValue(const std::string& keyPath, const std::string& name,
                              const std::string& text) {
    SaveKey(keyPath);
    SaveValue(keyPath, name);
    RegKey(RegKey::AccessWrite).SetString((keyPath + name).c_str(), text.c_str());
}

void ProductMachine::RemoveValue(const std::string& keyPath, const std::string& name) {
    SaveValue(keyPath, name);
    RegKey key(keyPath.c_str(), RegKey::AccessRead | RegKey::AccessWrite, false);
    if (key.IsOpen())
        key.Delete(name.c_str());
}

void ProductMachine::MakeKey(const std::string& keyPath) {
    SaveKey(keyPath);
    RegKey(RegKey::AccessWrite).SetString(keyPath.c_str(), "");
}

void ProductMachine::RemoveKey(const std::string& keyPath) {
    // A key that existed before stays removed: only test keys are removed.
    std::string parent = Parent(keyPath);
    std::string name = keyPath.substr(parent.size());
    if (!name.empty() && name.back() == '\\')
        name.pop_back();
    RegKey key(parent.c_str(), RegKey::AccessRead | RegKey::AccessWrite, false);
    if (key.IsOpen())
        key.Delete(name.c_str());
}

std::string ProductMachine::Value(const std::string& keyPath, const std::string& name,
                                  bool* found) {
    char buffer[1024];
    RegKey key(keyPath.c_str(), RegKey::AccessRead, false);
    bool ok = key.IsOpen() && key.QueryValue(name.c_str(), buffer, sizeof buffer);
    if (found)
        *found = ok;
    return ok ? buffer : "";
}

bool ProductMachine::KeyExists(const std::string& keyPath) {
    return RegKey(keyPath.c_str(), RegKey::AccessRead, false).IsOpen();
}

// ---- Windows of other programs -------------------------------------------

#ifdef _WIN32

namespace {

std::map<HWND, std::vector<OtherWindow::Received>>& Records() {
    static std::map<HWND, std::vector<OtherWindow::Received>> records;
    return records;
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE || message >= WM_USER)
        Records()[window].push_back({message, uintptr_t(wParam), intptr_t(lParam)});
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

OtherWindow::OtherWindow(const char* className, const char* title) : className_(className) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc); // fails harmlessly when it is registered already
    window_ = CreateWindowA(className, title, WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    Records()[window_].clear();
}

OtherWindow::~OtherWindow() {
    if (IsWindow(window_))
        DestroyWindow(window_);
    Records().erase(window_);
}

bool OtherWindow::Exists() const {
    return IsWindow(window_) != 0;
}

std::vector<OtherWindow::Received> OtherWindow::Messages() const {
    return Records()[window_];
}

#else

OtherWindow::OtherWindow(const char* className, const char* title) : className_(className) {
    window_ = hostwin::AddWindow(className, title);
}

OtherWindow::~OtherWindow() {
    if (IsWindow(window_))
        SendMessageA(window_, WM_CLOSE, 0, 0);
}

bool OtherWindow::Exists() const {
    return IsWindow(window_) != 0;
}

std::vector<OtherWindow::Received> OtherWindow::Messages() const {
    std::vector<Received> out;
    for (const hostwin::WindowMessage& m : hostwin::WindowMessages())
        if (m.className == className_ && (m.message == WM_CLOSE || m.message >= WM_USER))
            out.push_back({m.message, m.wParam, m.lParam});
    return out;
}

#endif

#include "scratch.h"

#include "platform/win32.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

#ifndef _WIN32
#include "platform/host_testing.h"
#include <unistd.h>
#endif

Scratch::Scratch() {
#ifdef _WIN32
    static unsigned counter;
    char name[64];
    std::snprintf(name, sizeof name, "C:\\BTEST%lu_%u\\", GetCurrentProcessId(), ++counter);
    dir_ = name;
    RemoveTree(dir_);
#else
    char pattern[] = "/tmp/brivanta-test-XXXXXX";
    if (!mkdtemp(pattern))
        ADD_FAILURE() << "cannot make a temporary folder";
    hostFolder_ = pattern;
    std::string error;
    if (!hostwin::MountMachine(hostFolder_, &error))
        ADD_FAILURE() << error;
    hostwin::ClearFaults();
    dir_ = "C:\\SCRATCH\\";
#endif
    if (!MakeDir(dir_))
        ADD_FAILURE() << "cannot create " << dir_;
}

Scratch::~Scratch() {
#ifdef _WIN32
    RemoveTree(dir_);
#else
    hostwin::ClearFaults();
    hostwin::UnmountMachine();
    std::string command = "rm -rf '" + hostFolder_ + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "cannot remove %s\n", hostFolder_.c_str());
#endif
}

bool Scratch::WriteFile(const std::string& path, const std::string& content) {
    HFILE f = _lcreat(path.c_str(), 0);
    if (f == HFILE_ERROR)
        return false;
    bool ok = _lwrite(f, content.data(), UINT(content.size())) == content.size();
    return _lclose(f) == 0 && ok;
}

std::string Scratch::ReadFile(const std::string& path, bool* ok) {
    std::string out;
    HFILE f = _lopen(path.c_str(), OF_READ);
    if (ok)
        *ok = f != HFILE_ERROR;
    if (f == HFILE_ERROR)
        return out;
    char buf[4096];
    for (;;) {
        UINT n = _lread(f, buf, sizeof buf);
        if (n == UINT(HFILE_ERROR)) {
            if (ok)
                *ok = false;
            break;
        }
        out.append(buf, n);
        if (n < sizeof buf)
            break;
    }
    _lclose(f);
    return out;
}

bool Scratch::Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Scratch::MakeDir(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void Scratch::RemoveTree(const std::string& path) {
    std::string dir = path;
    if (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

std::string TestBytes(size_t size, unsigned seed) {
    std::string s(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = char(x >> 16);
    }
    return s;
}

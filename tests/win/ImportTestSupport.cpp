#include "ImportTestSupport.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {
constexpr const char *VariantKey = "Software\\Korvane\\VEKT\\ImportAPI\\tolva";

void RemoveTree(const std::string &dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}
} // namespace

ScratchTree::ScratchTree() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static int counter = 0;
    root_ = std::string(temp) + "impapi-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    RemoveTree(root_);
    target_ = root_ + "\\import";
    if (!CreateDirectoryA(root_.c_str(), nullptr) || !CreateDirectoryA(target_.c_str(), nullptr) ||
        !CreateDirectoryA((root_ + "\\tolva").c_str(), nullptr))
        throw std::runtime_error("cannot create " + root_);
}

ScratchTree::~ScratchTree() { RemoveTree(root_); }

void ScratchTree::WriteOverride(const std::string &Ini) const {
    std::ofstream(root_ + "\\tolva\\tolva.ini", std::ios::binary) << Ini;
}

void ScratchTree::PointAt(const std::string &Address, const std::string &Extra) const {
    WriteOverride("[Global]\r\nHttps=0\r\nServer=" + Address + "\r\n" + Extra);
}

bool ScratchTree::AnswerExists() const { return GetFileAttributesA(AnswerPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ScratchTree::ReadAnswer() const {
    std::ifstream in(AnswerPath(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void ScratchTree::WriteAnswer(const std::string &Bytes) const {
    std::ofstream(AnswerPath(), std::ios::binary) << Bytes;
}

std::string ScratchTree::Listing() const {
    std::string names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((target_ + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (data.cFileName[0] != '.')
            names += std::string(names.empty() ? "" : " ") + data.cFileName;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

VariantSetting::VariantSetting(DWORD Type, const void *Data, DWORD Size, REGSAM View) : view_(View) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, VariantKey, 0, nullptr, 0, KEY_WRITE | View, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot create the variant key");
    RegSetValueExA(key, "API_Variante", 0, Type, static_cast<const BYTE *>(Data), Size);
    RegCloseKey(key);
}

VariantSetting::~VariantSetting() { RegDeleteKeyExA(HKEY_LOCAL_MACHINE, VariantKey, view_, 0); }

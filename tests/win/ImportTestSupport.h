#pragma once
// Shared by the import-run tests: a scratch folder with the target folder and
// the override file beside it, and the variant's registry value.
#include <windows.h>

#include <string>

// <temp>\impapi-XXXX\import (the target folder) and <temp>\impapi-XXXX\tolva.
class ScratchTree {
public:
    ScratchTree();
    ~ScratchTree();
    ScratchTree(const ScratchTree &) = delete;
    ScratchTree &operator=(const ScratchTree &) = delete;

    const std::string &Target() const { return target_; }
    std::string AnswerPath() const { return target_ + "\\tolva.xml"; }
    void WriteOverride(const std::string &Ini) const;
    // The override file that points the plug-in at a portal server over HTTP.
    void PointAt(const std::string &Address, const std::string &Extra = "") const;
    bool AnswerExists() const;
    std::string ReadAnswer() const;
    void WriteAnswer(const std::string &Bytes) const;
    // Names of the files in the target folder.
    std::string Listing() const;

private:
    std::string root_, target_;
};

// Sets HKLM\Software\Korvane\VEKT\ImportAPI\tolva\API_Variante for a test and
// removes the key afterwards. View: the registry view it is written to
// (KEY_WOW64_32KEY or KEY_WOW64_64KEY); 0 is the test program's own, which for
// the 32-bit tests is the view a 32-bit installer writes to.
class VariantSetting {
public:
    VariantSetting(DWORD Type, const void *Data, DWORD Size, REGSAM View = 0);
    explicit VariantSetting(const std::string &Text, REGSAM View = 0)
        : VariantSetting(REG_SZ, Text.c_str(), DWORD(Text.size() + 1), View) {}
    ~VariantSetting();

private:
    REGSAM view_;
};

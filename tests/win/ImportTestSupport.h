#pragma once
// Shared by the import-run tests: a scratch folder with the target folder and
// the override file beside it, and the variant's registry value.
#include <windows.h>

#include <optional>
#include <string>

#include "TestSupport.h"

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
// removes the key afterwards. View 0: the test program's own view, with
// HKEY_LOCAL_MACHINE redirected into a scratch key, so the machine's registry
// is never touched. KEY_WOW64_32KEY or KEY_WOW64_64KEY: the machine's real view
// (the test of the views needs them); such a test first makes sure the key
// does not exist there (VariantKeyExists) and skips otherwise.
class VariantSetting {
public:
    VariantSetting(DWORD Type, const void *Data, DWORD Size, REGSAM View = 0);
    explicit VariantSetting(const std::string &Text, REGSAM View = 0)
        : VariantSetting(REG_SZ, Text.c_str(), DWORD(Text.size() + 1), View) {}
    ~VariantSetting();

private:
    REGSAM view_;
    std::optional<RegistryRootOverride> scratch_;
};
bool VariantKeyExists(REGSAM View);

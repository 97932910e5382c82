#pragma once
// Shared by the import-run tests: a scratch folder with the target folder and
// the override file beside it, and the variant's registry value.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "Portal.h"
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

// The parameters of a run with a login and no message boxes; a test appends its own lines.
inline const std::string Login = "UserLogin=u\r\nPassword=p\r\nNoMessageBoxes=true\r\n";

// A loopback portal and a scratch tree whose override file points the plug-in at it.
struct PortalScene {
    PortalScene() { tree.PointAt(server.Address()); }
    PortalServer server;
    ScratchTree tree;
};

// The plug-in as a host loads it, run against a portal scene.
class ImportTest : public ::testing::Test, public PortalScene {
protected:
    void TearDown() override { plugin.RegProgrCallback(nullptr); }
    // Until the test ends, the host's reports go to ReportRecorder.
    void RecordReports() {
        ReportRecorder::reports.clear();
        plugin.RegProgrCallback(&ReportRecorder::Callback);
    }
    static std::vector<std::string> Lines(int32_t Kind = ckLog) { return ReportLines(Kind); }
    // A field of the request's form body, as sent.
    static std::string Field(const PortalRequest &Request, const std::string &Name) {
        return FormField(Request.body, Name);
    }
    // One ExportXML for advisor 4711, into the scratch target folder unless another is named.
    int32_t Run(const std::string &Params, double LastImport = 1, const char *TargetDir = nullptr) {
        last_ = LastImport;
        return plugin.ExportXML(TargetDir ? TargetDir : tree.Target().c_str(), "4711", 0, &last_, Params.c_str());
    }

    Plugin plugin;
    double last_ = 0;
};

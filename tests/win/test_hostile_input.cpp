// What a careless or hostile host can pass to the exports: huge and odd
// parameter texts, odd target folders, buffers of exactly the documented size
// with an inaccessible page right behind them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "ImportTestSupport.h"
#include "Portal.h"
#include "TestSupport.h"

namespace {

// Size bytes that end exactly at a page boundary; the next page cannot be
// touched, so one byte too many faults.
class GuardedBuffer {
public:
    explicit GuardedBuffer(std::size_t Size) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<char *>(VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (!base_ || !VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old))
            throw std::runtime_error("no guard page");
        data_ = base_ + page_ - Size;
        std::memset(data_, 0x55, Size);
    }
    ~GuardedBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedBuffer(const GuardedBuffer &) = delete;
    GuardedBuffer &operator=(const GuardedBuffer &) = delete;
    char *Data() const { return data_; }

private:
    std::size_t page_;
    char *base_, *data_;
};

class HostileInput : public ImportTest {
protected:
    void SetUp() override {
        tree.PointAt(server.Address(), "Timeout=5\r\n");
        server.Script(PortalAnswer("<depot/>"));
    }
    PortalRequest Last() {
        const auto requests = server.Requests();
        if (requests.empty())
            throw std::runtime_error("no request");
        return requests.back();
    }
};

} // namespace

TEST_F(HostileInput, VersionBufferOfExactly256Bytes) {
    GuardedBuffer buffer(IMPAPI_VERSION_BUFFER_SIZE);
    plugin.ImportVersionInfo(reinterpret_cast<unsigned char *>(buffer.Data()));
    EXPECT_EQ(std::string(buffer.Data(), 7), std::string("\x05" "2.1.3\x55"));
}

TEST_F(HostileInput, MessageBufferOfExactly256Bytes) {
    for (int32_t code = -1020; code <= 0; ++code) {
        GuardedBuffer buffer(IMPAPI_MESSAGE_BUFFER_SIZE);
        if (plugin.GetExportErrorMsg(code, buffer.Data()) == 0) {
            EXPECT_LT(std::strlen(buffer.Data()), 256u) << code;
        }
    }
    // The text of -30 made long by the portal's answer: cut to 255
    // characters and the zero, right at the end of the buffer.
    const std::string prefix = "Fehler bei Datenanforderung von tolva (tolva-Errorcode = 9):\r\n>> ";
    for (std::size_t total : {254u, 255u, 256u, 257u, 5000u}) {
        const std::string message(total - prefix.size(), 'm');
        server.Script(PortalAnswer("<error><number>9</number><message>" + message + "</message></error>"));
        ASSERT_EQ(Run(Login), errPortalError);
        GuardedBuffer buffer(IMPAPI_MESSAGE_BUFFER_SIZE);
        ASSERT_EQ(plugin.GetExportErrorMsg(errPortalError, buffer.Data()), 0);
        EXPECT_EQ(buffer.Data(), (prefix + message).substr(0, 255)) << total;
    }
}

// Null buffers: nothing is written and nothing faults.
TEST_F(HostileInput, NullBuffers) {
    plugin.ImportVersionInfo(nullptr);
    EXPECT_EQ(plugin.GetExportErrorMsg(errAnswerFile, nullptr), -1);
    EXPECT_EQ(plugin.GetExportErrorMsg(4711, nullptr), -1);
}

namespace {
// After the first progress tick of a run, another thread of the host calls
// ExportXML: refused at once.
std::atomic<bool> g_ticked{false};
void __stdcall NoteTick(int32_t kind, int32_t, const char *) {
    if (kind == ckProgress)
        g_ticked = true;
}
} // namespace

TEST_F(HostileInput, SecondThreadIsRefusedWhileARunIsInProgress) {
    PortalResponse slow = PortalAnswer(std::string(200000, 's'));
    slow.chunk = 20000;
    slow.delay = 0.1;
    server.Script(slow);
    std::atomic<int32_t> secondResult{1};
    std::atomic<DWORD> secondMs{0};
    std::atomic<bool> firstDone{false}, secondDoneFirst{false};
    std::thread second([&] {
        while (!g_ticked && !firstDone)
            Sleep(5);
        if (firstDone)
            return;
        const DWORD start = GetTickCount();
        double last = 1;
        secondResult = plugin.ExportXML(tree.Target().c_str(), "4711", 0, &last, Login.c_str());
        secondMs = GetTickCount() - start;
        secondDoneFirst = !firstDone;
    });
    g_ticked = false;
    plugin.RegProgrCallback(&NoteTick);
    const int32_t first = Run(Login);
    firstDone = true;
    second.join();
    plugin.RegProgrCallback(nullptr);
    EXPECT_EQ(first, resOK) << "the run in progress goes on untouched";
    EXPECT_EQ(tree.ReadAnswer(), slow.body);
    EXPECT_EQ(secondResult, errInternal);
    EXPECT_TRUE(secondDoneFirst) << "refused while the first run was still going";
    EXPECT_LT(secondMs, 1000u);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HostileInput, ParameterTextOfOneMebibyte) {
    std::string params;
    while (params.size() < (1u << 20))
        params += "Filler" + std::to_string(params.size()) + "=" + std::string(40, 'f') + "\r\n";
    params += "UserLogin=late\r\nPassword=p\r\nNoMessageBoxes=true";
    ASSERT_EQ(Run(params), resOK);
    EXPECT_EQ(Field(Last(), "benutzerkennung"), "late");

    const std::string token(1u << 20, 't');
    ASSERT_EQ(Run(Login + "Token=" + token), resOK);
    EXPECT_EQ(Field(Last(), "wiederaufsetzpunkt"), token);
    EXPECT_EQ(tree.ReadAnswer(), "<depot/>");
}

TEST_F(HostileInput, LinesEndedByEveryMixOfCrAndLf) {
    for (const char *end : {"\r", "\n", "\r\n", "\n\r", "\r\r", "\n\n", "\r\n\r\n", "\r\r\n", "\n\r\n"})
        for (bool trailing : {false, true}) {
            const std::string e = end;
            const std::string params = "UserLogin=u1" + e + "Password=p1" + e + "Client=C1" + e + "ClientVersion=V1" + e +
                                       "Token=T1" + e + "NoMessageBoxes=true" + (trailing ? e : "");
            ASSERT_EQ(Run(params), resOK);
            const PortalRequest r = Last();
            EXPECT_EQ(Field(r, "benutzerkennung") + Field(r, "passwort") + Field(r, "wiederaufsetzpunkt") +
                          Field(r, "version"),
                      "u1p1T12.1.3,C1,V1")
                << testing::PrintToString(e) << trailing;
        }
}

TEST_F(HostileInput, NamesAndValuesWithBytesBeyondAscii) {
    ASSERT_EQ(Run("Us\xE9rLogin=wrong\r\n\xFF\xFE=\r\n\x80=\x81\r\n\xC4=\r\nUSERLOGIN=M\xFCller\x80\r\n"
                  "Password=\xE4\xF6\xFC\xDF\r\nNoMessageBoxes=true"),
              resOK);
    const PortalRequest r = Last();
    EXPECT_EQ(Field(r, "benutzerkennung"), "M%FCller%80");
    EXPECT_EQ(Field(r, "passwort"), "%E4%F6%FC%DF");
}

TEST_F(HostileInput, ValuesOfOnlyControlCharacters) {
    const std::string controls = std::string("\x01\x02\x1F \t\x0B\x0C", 7);
    EXPECT_EQ(Run("UserLogin=" + controls + "\r\nPassword=p\r\nNoMessageBoxes=true"), errNoUserLogin);
    EXPECT_EQ(Run("UserLogin=u\r\nPassword=" + controls + "\r\nNoMessageBoxes=true"), errPasswordCancelled);
    EXPECT_TRUE(server.Requests().empty());
    ASSERT_EQ(Run("UserLogin=u\r\nPassword=p\x01q\r\nNoMessageBoxes=true\r\nToken=" + controls + "\r\nClient=" +
                  controls + "\r\nClientVersion=" + controls),
              resOK);
    const PortalRequest r = Last();
    EXPECT_EQ(Field(r, "passwort"), "p%01q");
    EXPECT_EQ(Field(r, "wiederaufsetzpunkt"), "");
    EXPECT_EQ(Field(r, "version"), "2.1.3,,");
}

// 255 characters pass the check of the target folder (the depot number
// variant then stops at its suppressed prompt, before any request); 256 and
// the empty text are refused, as a null pointer is: the empty text would put
// the answer into the root of the current drive.
TEST_F(HostileInput, TargetFolderNamesAtTheirBounds) {
    VariantSetting variant("lintessar");
    const std::string at255 = tree.Target() + "\\" + std::string(255 - tree.Target().size() - 1, 'd');
    EXPECT_EQ(Run(Login, 1, at255.c_str()), errDepotNrCancelled);
    EXPECT_EQ(Run(Login, 1, (at255 + "d").c_str()), errAnswerFile);
    EXPECT_EQ(Run(Login, 1, ""), errAnswerFile);
    EXPECT_TRUE(server.Requests().empty());
}

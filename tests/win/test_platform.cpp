// The platform the 32-bit product is tested on must report a fault as Windows
// does; otherwise the tests that rely on one (a host's access violation in its
// callback, guard pages after buffers) test the emulator, not the plug-in.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

DWORD firstCode;

LONG CALLBACK RecordFirst(EXCEPTION_POINTERS *pointers) {
    if (firstCode == 0) firstCode = pointers->ExceptionRecord->ExceptionCode;
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(Platform, ANullAccessIsAnAccessViolation) {
    PVOID handler = AddVectoredExceptionHandler(1, RecordFirst);
    ASSERT_NE(handler, nullptr);
    for (bool write : {false, true}) {
        firstCode = 0;
        void *low = reinterpret_cast<void *>(0x10);
        EXPECT_TRUE(write ? IsBadWritePtr(low, 4) : IsBadReadPtr(low, 4)) << "write=" << write;
        EXPECT_EQ(firstCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)) << "write=" << write;
    }
    RemoveVectoredExceptionHandler(handler);
}

}  // namespace

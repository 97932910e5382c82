#pragma once
// The barrier around every call into the host's callback. Whatever the host
// raises there (a structured exception such as a Delphi exception or an access
// violation, or a C++ exception that travels as one) is caught where the host's
// code returns to ours and handed back as "raised", with its record; the
// plug-in then unwinds its own frames as C++ and runs its cleanup.
#include <windows.h>

#include <cstdint>

#include <ImpApi_tolva.h>

// Calls Callback(Kind, Number, Text). False when it returned; true when it
// raised, with the exception's record in Raised (its chained record dropped).
extern "C" bool ImpApiCallHost(ImpApiTolvaProgrCallback Callback, int32_t Kind, int32_t Number, const char *Text,
                               EXCEPTION_RECORD *Raised);

// Codes of C++ exceptions: their objects may live in the frames the barrier
// unwound, so they are never raised again.
inline constexpr DWORD MsvcCppExceptionCode = 0xE06D7363;
inline constexpr DWORD GccCppExceptionCode = 0x20474343;
inline bool IsCppException(DWORD Code) { return Code == MsvcCppExceptionCode || Code == GccCppExceptionCode; }

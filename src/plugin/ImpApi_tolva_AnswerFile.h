#pragma once
// ImpApi_tolva_AnswerFile: the answer reaches "tolva.xml" in the target
// folder whole or not at all, through a temporary file of the run's own.
#include <windows.h>

#include <string>

#include "core/ResponseSink.h"

namespace ImpApi_tolva_AnswerFile {

// Writes the answer as "<TargetDir>\tolva.xml", replacing the earlier one.
// False, with a protocol line that names the file and the system's error,
// when it could not: the earlier file then stays as it was, and no
// temporary file is left.
bool WriteAnswerFile(const std::string &TargetDir, const TResponseSink &Answer);

// Writes the answer file; tests replace it to fill the disk at will.
using TWriteFileFn = BOOL(WINAPI *)(HANDLE File, LPCVOID Data, DWORD Size, LPDWORD Written, LPOVERLAPPED Overlapped);
extern TWriteFileFn AnswerFileWrite;

} // namespace ImpApi_tolva_AnswerFile

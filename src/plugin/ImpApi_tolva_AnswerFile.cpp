#include "plugin/ImpApi_tolva_AnswerFile.h"

#include <algorithm>
#include <vector>

#include "base/Handles.h"
#include "plugin/ImpApiMain.h"
#include "transport/ImpApiINet.h"

namespace ImpApi_tolva_AnswerFile {
namespace {

// A temporary file of this run alone, "tlvXXXX.tmp" in the target folder (so
// that the rename stays on one volume), made new under a name nobody has: a
// name that exists (another run's file, a host's file, a link someone put
// there) is never opened. The file is never opened again by name: written,
// flushed, marked and renamed through this handle (DELETE), which nobody
// else may share, so nobody can swap it while it is ours. Name is the file's
// path once it is made.
UniqueFile CreateRunFile(const std::string &targetDir, std::string &name) {
    // Runs of other processes and threads start elsewhere among the names.
    const DWORD start = GetTickCount() ^ (GetCurrentProcessId() << 4) ^ GetCurrentThreadId();
    for (DWORD i = 0; i <= 0xFFFF; ++i) {
        char file[16];
        wsprintfA(file, "\\tlv%04X.tmp", static_cast<unsigned>((start + i) & 0xFFFF));
        const std::string path = targetDir + file;
        const HANDLE made = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (made != INVALID_HANDLE_VALUE) {
            name = path;
            return UniqueFile(made);
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return UniqueFile();
}

// While the mark is set the file goes when its last handle closes, also when
// the process dies: customer data never stays behind in a temporary file.
bool MarkForDeletion(HANDLE file, bool Delete) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = Delete;
    return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info);
}

// Moves the open file over Path (a full path), replacing what is there.
bool RenameThroughHandle(HANDLE file, const std::string &path) {
    const int chars = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (chars <= 1)
        return false;
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + std::size_t(chars) * sizeof(WCHAR));
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(chars - 1) * sizeof(WCHAR);
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, info->FileName, chars);
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
}

// Writes the whole answer; Error gets what stopped it.
bool WriteAnswer(HANDLE file, const TResponseSink &answer, DWORD &error) {
    return answer.WriteTo([&](const char *data, std::size_t size) {
        while (size > 0) {
            // 64 KiB: under Wine as fast as larger pieces (16 KiB and 4 MiB
            // are slower), and on Windows where cached writes reach full speed.
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 64 * 1024));
            DWORD done = 0;
            if (!AnswerFileWrite(file, data, chunk, &done, nullptr)) {
                error = GetLastError();
                return false;
            }
            // A write that reports success without writing everything sets
            // no error of its own: the disk is full.
            if (done != chunk) {
                error = ERROR_DISK_FULL;
                return false;
            }
            data += done;
            size -= done;
        }
        return true;
    });
}

} // namespace

bool WriteAnswerFile(const std::string &targetDir, const TResponseSink &answer) {
    const std::string path = targetDir + "\\tolva.xml";
    std::string temporary;
    UniqueFile file = CreateRunFile(targetDir, temporary);
    auto fail = [&](const std::string &failed, DWORD error) {
        ImpApiMain::ReportLog("Fehler beim Speichern der Importdatei " + failed + ": " + SystemErrorText(error));
        return false;
    };
    if (!file)
        return fail(targetDir + "\\tlv*.tmp", GetLastError());
    // Marked before anything is written. A file system that keeps no mark
    // keeps the earlier behaviour: the file is deleted by name once closed,
    // on every way out but a dying process.
    bool marked = MarkForDeletion(file.get(), true);
    // On every way out but the rename, also an exception: marked again if the
    // mark was taken away for the rename, and closed, which deletes it.
    ScopeExit cleanup([&] {
        if (!marked)
            marked = MarkForDeletion(file.get(), true);
        file.reset();
        if (!marked)
            DeleteFileA(temporary.c_str());
    });
    if (DWORD error = ERROR_SUCCESS; !WriteAnswer(file.get(), answer, error))
        return fail(temporary, error);
    // On the disk before the rename: after a power loss the folder holds the
    // old answer or the new one, never a renamed file without its data.
    if (!FlushFileBuffers(file.get()))
        return fail(temporary, GetLastError());
    if (marked && !MarkForDeletion(file.get(), false))
        return fail(temporary, GetLastError());
    marked = false;
    // One rename on one volume, through the handle: the folder never lacks
    // tolva.xml, and a failure leaves the old file exactly as it was.
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH)
        return fail(path, n == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE);
    if (!RenameThroughHandle(file.get(), full))
        return fail(path, GetLastError());
    cleanup.release();
    file.reset();
    return true;
}

TWriteFileFn AnswerFileWrite = &WriteFile;

} // namespace ImpApi_tolva_AnswerFile

#include "plugin/ImpApi_tolva_AnswerFile.h"

#include <algorithm>
#include <vector>

#include "base/Handles.h"
#include "plugin/ImpApiMain.h"
#include "transport/ImpApiINet.h"

namespace ImpApi_tolva_AnswerFile {
namespace {

// A temporary file of this run alone, "tlvXXXX.tmp" in the target folder (so
// that the move stays on one volume). The system makes the name unique by
// creating the file, never taking a name that exists: another run's file or a
// host's file is never touched. Name stays empty when nothing was created.
UniqueFile CreateRunFile(const std::string &targetDir, std::string &name) {
    char path[MAX_PATH];
    if (GetTempFileNameA(targetDir.c_str(), "tlv", 0, path) == 0)
        return UniqueFile(INVALID_HANDLE_VALUE);
    name = path;
    // DELETE: the file is marked for deletion and renamed through this handle.
    // Readers are let in: once renamed it is tolva.xml, whole and flushed, and
    // another host may read it before this handle closes.
    return UniqueFile(CreateFileA(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
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
    const bool created = !temporary.empty();
    // On every way out but the move, also an exception: closed before the
    // delete (a file still open would only be marked for deletion, or stay
    // behind), and only the file this run made.
    ScopeExit cleanup([&] {
        file.reset();
        if (created)
            DeleteFileA(temporary.c_str());
    });
    auto fail = [&](const std::string &failed, DWORD error) {
        ImpApiMain::ReportLog("Fehler beim Speichern der Importdatei " + failed + ": " + SystemErrorText(error));
        return false;
    };
    if (!file)
        return fail(created ? temporary : targetDir + "\\tlv*.tmp", GetLastError());
    // A file system that keeps no mark keeps the earlier behaviour: the file
    // is deleted on every way out but a dying process.
    const bool marked = MarkForDeletion(file.get(), true);
    if (DWORD error = ERROR_SUCCESS; !WriteAnswer(file.get(), answer, error))
        return fail(temporary, error);
    // On the disk before the rename: after a power loss the folder holds the
    // old answer or the new one, never a renamed file without its data.
    if (!FlushFileBuffers(file.get()))
        return fail(temporary, GetLastError());
    if (marked && !MarkForDeletion(file.get(), false))
        return fail(temporary, GetLastError());
    // One rename on one volume: the folder never lacks tolva.xml, and a
    // failure leaves the old file exactly as it was. Through the handle the
    // file is never without it; where that rename is not available, by name.
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (n > 0 && n < MAX_PATH && RenameThroughHandle(file.get(), full)) {
        cleanup.release();
        file.reset();
        return true;
    }
    if (!CloseHandle(file.release()))
        return fail(temporary, GetLastError());
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return fail(path, GetLastError());
    cleanup.release();
    return true;
}

TWriteFileFn AnswerFileWrite = &WriteFile;

} // namespace ImpApi_tolva_AnswerFile

/* Host code as written against release 2.1.3: the short names, no define. */
#include <windows.h>

#include "ImpApi_tolva.h"

int host_213_import(HMODULE dll, char *message)
{
    TExportXML exportXml = (TExportXML)(void *)GetProcAddress(dll, "ExportXML");
    TGetExportErrorMsg errorMsg = (TGetExportErrorMsg)(void *)GetProcAddress(dll, "GetExportErrorMsg");
    TVersionInfo versionInfo = (TVersionInfo)(void *)GetProcAddress(dll, "VersionInfo");
    int32_t result;
    if (!exportXml || !errorMsg || !versionInfo || versionInfo() != IMPAPI_TOLVA_VERSION_INFO)
        return errInternal;
    result = exportXml("C:\\Import", "4711", 0, NULL, "UserLogin=u\r\n");
    if (result != resOK && result != resDepotNrImport)
        errorMsg(result, message);
    return result == errDownloadCancelled ? ckLog : result + IMPAPI_MESSAGE_BUFFER_SIZE * 0;
}

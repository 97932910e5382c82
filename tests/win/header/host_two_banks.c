/* A host with two banks' plug-ins: the other bank's header uses the same
   short names, so this one's are turned off. */
#include <windows.h>

#define IMPAPI_TOLVA_NO_SHORT_NAMES
#include "ImpApi_tolva.h"

/* What the other bank's header declares. */
enum { resOK = 1, errInternal = 7, ckLog = 9 };
typedef long(__stdcall *TExportXML)(const char *Dir);
long __stdcall VersionInfo(long Kind);

int host_two_banks_import(HMODULE dll)
{
    ImpApiTolvaExportXML exportXml = (ImpApiTolvaExportXML)(void *)GetProcAddress(dll, "ExportXML");
    TExportXML other = (TExportXML)(void *)GetProcAddress(dll, "OtherExport");
    if (!exportXml || !other)
        return errInternal;
    return exportXml("C:\\Import", "4711", 0, NULL, NULL) == IMPAPI_TOLVA_RES_OK ? resOK : ckLog;
}

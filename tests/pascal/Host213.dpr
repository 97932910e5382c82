{ Host code as written against release 2.1.3: the unit's short names. It is
  compiled, not run: a short name the unit lost fails the compile. }
program Host213;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

uses
  ImpApi_tolva;

var
  Calls: Int32 = 0;

procedure Progress(Kind, Number: Int32; Text: PAnsiChar); stdcall;
begin
  if Kind = ckProgress then
    Inc(Calls)
  else if (Kind = ckLog) or (Kind = ckTiming) then
    Inc(Calls, Number);
end;

function Import(ExportXML: TExportXML; Register: TRegProgrCallback; Message: TGetExportErrorMsg): Int32;
var
  Text: array[0..IMPAPI_MESSAGE_BUFFER_SIZE - 1] of AnsiChar;
  Last: Double;
  Callback: TProgrCallback;
begin
  Callback := Progress;
  Register(Callback);
  Last := 0;
  Result := ExportXML('C:\Import', '4711', 0, @Last, 'UserLogin=u'#13#10);
  case Result of
    resOK, resDepotNrImport: ;
    errNoAccessData, errNoUserLogin, errPasswordCancelled, errDepotNrCancelled, errAnswerFile,
    errInternal, errPortalError, errInetUnspecified, errInetSession, errInetOpenUrl,
    errInetAccessDenied, errInetNotFound, errInetUrlAccess, errInetIncomplete, errInetServerBusy,
    errProxyAuth, errInetConnect, errInetService, errInetRequest, errDownloadCancelled:
      Message(Result, Text);
  end;
end;

var
  Version: TVersionInfo;
  VersionText: TImportVersionInfo;
  Check: TAppVersionCheck;
  Dialog: TApiDataDialog;
  User: array[0..IMPAPI_USER_BUFFER_SIZE - 1] of AnsiChar;
  Extra: array[0..IMPAPI_EXTRA_BUFFER_SIZE - 1] of AnsiChar;
  Buffer: array[0..IMPAPI_VERSION_BUFFER_SIZE - 1] of Byte;
begin
  Version := nil;
  VersionText := nil;
  Check := nil;
  Dialog := nil;
  if Assigned(Version) and Assigned(VersionText) and Assigned(Check) and Assigned(Dialog) then
  begin
    VersionText(@Buffer);
    if (Version() = IMPAPI_TOLVA_VERSION_INFO) and (Check(IMPAPI_TOLVA_MIN_HOST_VERSION) = 0) then
      Dialog(User, User, Extra);
    Import(nil, nil, nil);
  end;
end.

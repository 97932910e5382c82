{ The Pascal sample host: drives every export of ImpApi_tolva.dll through the
  declarations of ImpApi_tolva.pas, as a Delphi host would.

    ImpApiHost DLLPATH TARGETDIR PARAMS

  DLLPATH must be a full path. PARAMS is the parameter text, "\n" standing for
  a line break. The program checks the version answers, runs one import, renders
  codes, opens the access-data dialog and closes it again, and exits with 0 when
  every answer was as documented. }
program ImpApiHost;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}
{$APPTYPE CONSOLE}

uses
  ImpApi_tolva;

type
  HWND = PtrUInt;
  HMODULE = PtrUInt;
  TMsg = record
    Wnd: HWND;
    Message: LongWord;
    WParam: PtrUInt;
    LParam: PtrInt;
    Time: LongWord;
    X, Y: LongInt;
    Reserved: array[0..3] of LongWord;
  end;

const
  LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR = $100;
  LOAD_LIBRARY_SEARCH_SYSTEM32 = $800;
  PM_REMOVE = 1;
  WM_CLOSE = $10;
  WM_QUIT = $12;
  HOST_VERSION = 40343;

function LoadLibraryExA(Name: PAnsiChar; Reserved: PtrUInt; Flags: LongWord): HMODULE; stdcall; external 'kernel32.dll';
{$IFDEF UNICODE}
function LoadLibraryExW(Name: PWideChar; Reserved: PtrUInt; Flags: LongWord): HMODULE; stdcall; external 'kernel32.dll';
{$ENDIF}
function GetProcAddress(Module: HMODULE; Name: PAnsiChar): Pointer; stdcall; external 'kernel32.dll';
function FreeLibrary(Module: HMODULE): LongBool; stdcall; external 'kernel32.dll';
function GetLastError: LongWord; stdcall; external 'kernel32.dll';
function GetCurrentThreadId: LongWord; stdcall; external 'kernel32.dll';
function PeekMessageA(var Msg: TMsg; Wnd: HWND; First, Last, Remove: LongWord): LongBool; stdcall; external 'user32.dll';
function TranslateMessage(const Msg: TMsg): LongBool; stdcall; external 'user32.dll';
function DispatchMessageA(const Msg: TMsg): PtrInt; stdcall; external 'user32.dll';
function SetTimer(Wnd: HWND; Id: PtrUInt; Elapse: LongWord; Proc: Pointer): PtrUInt; stdcall; external 'user32.dll';
function KillTimer(Wnd: HWND; Id: PtrUInt): LongBool; stdcall; external 'user32.dll';
function EnumThreadWindows(ThreadId: LongWord; Proc: Pointer; Param: PtrInt): LongBool; stdcall; external 'user32.dll';
function IsWindowVisible(Wnd: HWND): LongBool; stdcall; external 'user32.dll';
function PostMessageA(Wnd: HWND; Msg: LongWord; WParam: PtrUInt; LParam: PtrInt): LongBool; stdcall; external 'user32.dll';
procedure PostQuitMessage(ExitCode: Int32); stdcall; external 'user32.dll';
function EnableWindow(Wnd: HWND; Enable: LongBool): LongBool; stdcall; external 'user32.dll';

var
  Failures: Integer = 0;
  LogLines: Integer = 0;
  Pulses: Integer = 0;

procedure Expect(Ok: Boolean; const What: AnsiString);
begin
  if Ok then
    WriteLn('ok   ', What)
  else
  begin
    WriteLn('FAIL ', What);
    Inc(Failures);
  end;
end;

function Text(P: PAnsiChar): AnsiString;
begin
  Result := P;
end;

procedure Put(P: PAnsiChar; const S: AnsiString);
begin
  Move(PAnsiChar(S)^, P^, Length(S) + 1);
end;

function IntText(Value: LongInt): AnsiString;
begin
  Str(Value, Result);
end;

procedure DispatchMessages;
var
  Msg: TMsg;
begin
  while PeekMessageA(Msg, 0, 0, 0, PM_REMOVE) do
  begin
    if Msg.Message = WM_QUIT then
    begin
      { The host's own loop must still see it: post it again and stop here. }
      PostQuitMessage(Int32(Msg.WParam));
      Exit;
    end;
    TranslateMessage(Msg);
    DispatchMessageA(Msg);
  end;
end;

procedure Report(Kind, Number: LongInt; Text: PAnsiChar); stdcall;
begin
  case Kind of
    IMPAPI_TOLVA_CK_PROGRESS:
      begin
        Inc(Pulses);
        DispatchMessages; { keeps the progress window's Cancel alive }
      end;
    IMPAPI_TOLVA_CK_LOG:
      begin
        Inc(LogLines);
        WriteLn('  [log] ', Text);
      end;
  else
    WriteLn('  [', Kind, ' ', Number, '] ', Text);
  end;
end;

{ Closes the access-data dialog as the user's Escape would: the first visible
  window of this thread gets WM_CLOSE. }
function CloseVisible(Wnd: HWND; Param: PtrInt): LongBool; stdcall;
begin
  Result := True;
  if IsWindowVisible(Wnd) then
  begin
    PostMessageA(Wnd, WM_CLOSE, 0, 0);
    Result := False;
  end;
end;

procedure CloseDialog(Wnd: HWND; Msg: LongWord; Id: PtrUInt; Time: LongWord); stdcall;
begin
  EnumThreadWindows(GetCurrentThreadId, @CloseVisible, 0);
end;

{ The result has the argument's length ("\n" becomes CR LF) and is made at
  that length at once: a string grown piece by piece would leave freed,
  unwiped copies of the password behind. }
function Unescape(const Text: AnsiString): AnsiString;
var
  I: Integer;
begin
  SetLength(Result, Length(Text));
  I := 1;
  while I <= Length(Text) do
    if (Text[I] = '\') and (I < Length(Text)) and (Text[I + 1] = 'n') then
    begin
      Result[I] := #13;
      Result[I + 1] := #10;
      Inc(I, 2);
    end
    else
    begin
      Result[I] := Text[I];
      Inc(I);
    end;
end;

procedure Wipe(var S: AnsiString);
begin
  if Length(S) > 0 then
    FillChar(PAnsiChar(S)^, Length(S), 0);
  S := '';
end;

{ The DLL takes code page 1252 texts. Under Unicode Delphi ParamStr is a
  UnicodeString: a character 1252 cannot hold would turn into "?" and name
  another folder, so such a text is refused instead. }
function AnsiArgument(const Value: string; out Text: AnsiString): Boolean;
begin
  Text := AnsiString(Value);
  Result := string(Text) = Value;
end;

function IsFullPath(const Path: AnsiString): Boolean;
begin
  Result := ((Length(Path) > 2) and (Path[2] = ':') and (Path[3] = '\')) or
    ((Length(Path) > 2) and (Path[1] = '\') and (Path[2] = '\'));
end;

var
  DllPath: string;
  TargetDir, Params, Argument: AnsiString;
  { A window host passes its main window here: it is disabled while an import
    runs, since the callback dispatches messages and the user could start a
    second import (which would get -21). This console host has none. }
  MainWindow: HWND = 0;
  Module: HMODULE;
  VersionInfo: TImpApiTolvaVersionInfo;
  ImportVersionInfo: TImpApiTolvaImportVersionInfo;
  AppVersionCheck: TImpApiTolvaAppVersionCheck;
  RegProgrCallback: TImpApiTolvaRegProgrCallback;
  ExportXML: TImpApiTolvaExportXML;
  GetExportErrorMsg: TImpApiTolvaGetExportErrorMsg;
  ApiDataDialog: TImpApiTolvaApiDataDialog;
  Version: ShortString;
  LastImport: Double;
  Code: LongInt;
  Message: array[0..IMPAPI_TOLVA_MESSAGE_BUFFER_SIZE - 1] of AnsiChar;
  User, Password: array[0..IMPAPI_TOLVA_USER_BUFFER_SIZE - 1] of AnsiChar;
  Extra: array[0..IMPAPI_TOLVA_EXTRA_BUFFER_SIZE - 1] of AnsiChar;
  Timer: PtrUInt;
begin
  if ParamCount <> 3 then
  begin
    WriteLn('usage: ImpApiHost DLLPATH TARGETDIR PARAMS');
    Halt(2);
  end;
  DllPath := ParamStr(1);
  if not AnsiArgument(ParamStr(2), TargetDir) then
  begin
    WriteLn('the target folder has characters outside code page 1252');
    Halt(2);
  end;
  if not AnsiArgument(ParamStr(3), Argument) then
  begin
    WriteLn('the parameters have characters outside code page 1252');
    Halt(2);
  end;
  Params := Unescape(Argument);
  Wipe(Argument); { the password is in there }
  if not IsFullPath(DllPath) then
  begin
    WriteLn('not a full path: ', DllPath); { never load through the search path }
    Halt(2);
  end;
  { The wide call where the path is a UnicodeString: any character of it works. }
  Module := {$IFDEF UNICODE}LoadLibraryExW(PWideChar(DllPath),{$ELSE}LoadLibraryExA(PAnsiChar(DllPath),{$ENDIF}
    0, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR or LOAD_LIBRARY_SEARCH_SYSTEM32);
  if Module = 0 then
  begin
    WriteLn(DllPath, ' not loaded (error ', GetLastError, ')');
    Halt(2);
  end;
  try
    VersionInfo := GetProcAddress(Module, 'VersionInfo');
    ImportVersionInfo := GetProcAddress(Module, 'ImportVersionInfo');
    AppVersionCheck := GetProcAddress(Module, 'AppVersionCheck');
    RegProgrCallback := GetProcAddress(Module, 'RegProgrCallback');
    ExportXML := GetProcAddress(Module, 'ExportXML');
    GetExportErrorMsg := GetProcAddress(Module, 'GetExportErrorMsg');
    ApiDataDialog := GetProcAddress(Module, 'ApiDataDialog');
    if not Assigned(VersionInfo) or not Assigned(ImportVersionInfo) or not Assigned(AppVersionCheck) or
      not Assigned(RegProgrCallback) or not Assigned(ExportXML) or not Assigned(GetExportErrorMsg) or
      not Assigned(ApiDataDialog) then
    begin
      WriteLn('an export is missing');
      ExitCode := 2;
      Exit; { through finally: FreeLibrary on every path }
    end;

    { Versions first: a plug-in of another interface, or one that refuses this
      host, is not used. }
    Code := VersionInfo();
    Expect(Code = IMPAPI_TOLVA_VERSION_INFO, 'VersionInfo = ' + IntText(IMPAPI_TOLVA_VERSION_INFO));
    if Code <> IMPAPI_TOLVA_VERSION_INFO then
    begin
      ExitCode := 1;
      Exit;
    end;
    FillChar(Version, SizeOf(Version), $FF);
    ImportVersionInfo(@Version);
    WriteLn('ImportVersionInfo = ', Version);
    Expect((Length(Version) = 5) and (Byte(Version[6]) = $FF), 'ImportVersionInfo writes a ShortString of 5 characters and nothing behind it');
    Expect(AppVersionCheck(IMPAPI_TOLVA_MIN_HOST_VERSION - 1) = -1, 'AppVersionCheck refuses an older host');
    Code := AppVersionCheck(HOST_VERSION);
    Expect(Code = 0, 'AppVersionCheck(' + IntText(HOST_VERSION) + ') = 0');
    if Code <> 0 then
    begin
      ExitCode := 1;
      Exit;
    end;

    Expect(RegProgrCallback(@Report) = 0, 'RegProgrCallback = 0');
    LastImport := 0;
    if MainWindow <> 0 then
      EnableWindow(MainWindow, False);
    try
      Code := ExportXML(PAnsiChar(TargetDir), '4711', 0, @LastImport, PAnsiChar(Params));
    finally
      if MainWindow <> 0 then
        EnableWindow(MainWindow, True);
    end;
    Wipe(Params); { the password was in there }
    WriteLn('ExportXML = ', Code, ', ', LogLines, ' protocol lines, ', Pulses, ' progress pulses');
    Expect(Code = IMPAPI_TOLVA_RES_OK, 'ExportXML = 0');
    Expect((LogLines > 0) and (Pulses > 0), 'the callback received protocol lines and progress pulses');
    Expect(ExportXML(PAnsiChar(TargetDir), '4711', 0, @LastImport, nil) = IMPAPI_TOLVA_ERR_NO_ACCESS_DATA,
      'ExportXML without parameters = -11');
    Expect(RegProgrCallback(nil) = 0, 'RegProgrCallback(nil) = 0');

    Code := GetExportErrorMsg(IMPAPI_TOLVA_ERR_DOWNLOAD_CANCELLED, @Message[0]);
    WriteLn('GetExportErrorMsg(-1015) = ', Code, ': ', PAnsiChar(@Message[0]));
    Expect((Code = 0) and (Text(@Message[0]) = 'Download durch Benutzer abgebrochen'), 'GetExportErrorMsg(-1015)');
    Message[0] := 'x';
    Expect((GetExportErrorMsg(-1010, @Message[0]) = -1) and (Message[0] = 'x'), 'GetExportErrorMsg(-1010) = -1, buffer untouched');

    Put(@User[0], 'berater');
    Put(@Password[0], 'geheim');
    Put(@Extra[0], 'weitere Daten');
    Timer := SetTimer(0, 0, 300, @CloseDialog);
    Code := ApiDataDialog(@User[0], @Password[0], @Extra[0]);
    KillTimer(0, Timer);
    DispatchMessages; { the dialog is released through the queue }
    WriteLn('ApiDataDialog = ', Code);
    Expect((Code = 2) and (Text(@User[0]) = 'berater') and (Text(@Password[0]) = 'geheim') and
      (Text(@Extra[0]) = 'weitere Daten'), 'ApiDataDialog closed = 2, buffers untouched');
    FillChar(Password, SizeOf(Password), 0);
  finally
    FreeLibrary(Module);
  end;
  WriteLn(Failures, ' failed');
  if Failures > 0 then
    ExitCode := 1;
end.

{ A Pascal host whose window procedure raises while the plug-in runs a modal
  loop: the password prompt, the depot-number prompt, the portal's error box,
  the certificate prompt and the access-data dialog.

    RaisingHost DLLPATH TARGETDIR SERVER

  For each loop and for a Pascal exception and an access violation, the host
  posts a message to its own window, calls the export inside try..except, and
  checks: the exception came back (an access violation with the address of the
  fault), the call's windows are gone, the host's window is enabled, no file
  was written, and the next import works on this thread and on another.
  TARGETDIR\..\tolva\tolva.ini is written here; SERVER answers in plain HTTP
  and HTTPS (self-signed). Exits with 0 when everything held. }
program RaisingHost;

{$MODE DELPHI}
{$APPTYPE CONSOLE}

uses
  ImpApi_tolva;

type
  HWND = PtrUInt;
  HKEY = PtrUInt;
  TWndClassA = record
    Style: LongWord;
    WndProc: Pointer;
    ClsExtra, WndExtra: LongInt;
    Instance, Icon, Cursor, Background: PtrUInt;
    MenuName, ClassName: PAnsiChar;
  end;
  TMsg = record
    Wnd: HWND;
    Message: LongWord;
    WParam: PtrUInt;
    LParam: PtrInt;
    Time: LongWord;
    X, Y: LongInt;
  end;
  TFindData = record
    Attributes: LongWord;
    Times: array[0..5] of LongWord;
    SizeHigh, SizeLow, Reserved0, Reserved1: LongWord;
    Name: array[0..259] of AnsiChar;
    ShortName: array[0..13] of AnsiChar;
  end;
  { What the RTL hands ExceptObjProc: the system's exception record. }
  TOsRecord = record
    Code, Flags: LongWord;
    Next, Address: Pointer;
    Count: LongWord;
    Info: array[0..14] of PtrUInt;
  end;
  EOsError = class(TObject)
    Code: LongWord;
    Address: Pointer;
  end;
  EHostError = class(TObject)
  end;
  TLoop = (lpPassword, lpDepotNumber, lpErrorBox, lpCertificate, lpAccessData);
  TRaise = (rsPascal, rsAccessViolation);

const
  WM_HOST_RAISE = $8007;
  PM_REMOVE = 1;
  WS_VISIBLE_OVERLAPPED = $10CF0000;
  HKEY_LOCAL_MACHINE = HKEY($80000002);
  HKEY_CURRENT_USER = HKEY($80000001);
  LoopNames: array[TLoop] of AnsiString = ('password prompt', 'depot-number prompt', 'portal''s error box',
    'certificate prompt', 'access-data dialog');
  RaiseNames: array[TRaise] of AnsiString = ('Pascal exception', 'access violation');
  Unattended = 'UserLogin=u'#13#10'Password=p'#13#10'NoMessageBoxes=true'#13#10;

function LoadLibraryA(Name: PAnsiChar): PtrUInt; stdcall; external 'kernel32.dll';
function GetProcAddress(Module: PtrUInt; Name: PAnsiChar): Pointer; stdcall; external 'kernel32.dll';
function GetModuleHandleA(Name: PAnsiChar): PtrUInt; stdcall; external 'kernel32.dll';
function GetCurrentThreadId: LongWord; stdcall; external 'kernel32.dll';
function CreateThread(Attributes: Pointer; Stack: PtrUInt; Start, Param: Pointer; Flags: LongWord;
  Id: PLongWord): PtrUInt; stdcall; external 'kernel32.dll';
function WaitForSingleObject(Handle: PtrUInt; Millis: LongWord): LongWord; stdcall; external 'kernel32.dll';
function CloseHandle(Handle: PtrUInt): LongBool; stdcall; external 'kernel32.dll';
function FindFirstFileA(Pattern: PAnsiChar; var Data: TFindData): PtrUInt; stdcall; external 'kernel32.dll';
function FindNextFileA(Find: PtrUInt; var Data: TFindData): LongBool; stdcall; external 'kernel32.dll';
function FindClose(Find: PtrUInt): LongBool; stdcall; external 'kernel32.dll';
function RegisterClassA(const WndClass: TWndClassA): Word; stdcall; external 'user32.dll';
function CreateWindowExA(ExStyle: LongWord; ClassName, Name: PAnsiChar; Style: LongWord; X, Y, W, H: LongInt;
  Parent, Menu, Instance: PtrUInt; Param: Pointer): HWND; stdcall; external 'user32.dll';
function DefWindowProcA(Wnd: HWND; Msg: LongWord; WParam: PtrUInt; LParam: PtrInt): PtrInt; stdcall; external 'user32.dll';
function PostMessageA(Wnd: HWND; Msg: LongWord; WParam: PtrUInt; LParam: PtrInt): LongBool; stdcall; external 'user32.dll';
function PeekMessageA(var Msg: TMsg; Wnd: HWND; First, Last, Remove: LongWord): LongBool; stdcall; external 'user32.dll';
function DispatchMessageA(const Msg: TMsg): PtrInt; stdcall; external 'user32.dll';
function IsWindowEnabled(Wnd: HWND): LongBool; stdcall; external 'user32.dll';
function IsWindowVisible(Wnd: HWND): LongBool; stdcall; external 'user32.dll';
function EnumThreadWindows(ThreadId: LongWord; Proc: Pointer; Param: PtrInt): LongBool; stdcall; external 'user32.dll';
function RegCreateKeyExA(Key: HKEY; SubKey: PAnsiChar; Reserved: LongWord; KeyClass: PAnsiChar; Options,
  Desired: LongWord; Security: Pointer; var Result: HKEY; Disposition: PLongWord): LongInt; stdcall; external 'advapi32.dll';
function RegSetValueExA(Key: HKEY; Name: PAnsiChar; Reserved, ValueType: LongWord; Data: Pointer;
  Size: LongWord): LongInt; stdcall; external 'advapi32.dll';
function RegCloseKey(Key: HKEY): LongInt; stdcall; external 'advapi32.dll';
function RegOverridePredefKey(Key, NewKey: HKEY): LongInt; stdcall; external 'advapi32.dll';
function RegDeleteTreeA(Key: HKEY; SubKey: PAnsiChar): LongInt; stdcall; external 'advapi32.dll';

var
  Failures: Integer = 0;
  HostWindow: HWND;
  Raising: TRaise;
  ExportXML: TImpApiTolvaExportXML;
  ApiDataDialog: TImpApiTolvaApiDataDialog;
  TargetDir, Server: AnsiString;

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

{ As the RTL's SysUtils does: a system exception becomes an object. }
function OsException(Code: LongInt; const Rec: TOsRecord): Pointer;
var
  E: EOsError;
begin
  E := EOsError.Create;
  E.Code := Rec.Code;
  E.Address := Rec.Address;
  Result := E;
end;

function HostWindowProc(Wnd: HWND; Msg: LongWord; WParam: PtrUInt; LParam: PtrInt): PtrInt; stdcall;
begin
  if Msg = WM_HOST_RAISE then
    if Raising = rsPascal then
      raise EHostError.Create
    else
      PInteger(nil)^ := 1;
  Result := DefWindowProcA(Wnd, Msg, WParam, LParam);
end;

procedure ServeQueue;
var
  Msg: TMsg;
begin
  while PeekMessageA(Msg, 0, 0, 0, PM_REMOVE) do
    DispatchMessageA(Msg);
end;

function CountWindow(Wnd: HWND; Count: PInteger): LongBool; stdcall;
begin
  if IsWindowVisible(Wnd) then
    Inc(Count^, 1000);
  Inc(Count^);
  Result := True;
end;

{ The thread's windows: visible ones count 1001, hidden ones 1. }
function ThreadWindows: Integer;
begin
  Result := 0;
  EnumThreadWindows(GetCurrentThreadId, @CountWindow, PtrInt(@Result));
end;

procedure WriteText(const Path, Text: AnsiString);
var
  F: TextFile;
begin
  AssignFile(F, Path);
  Rewrite(F);
  Write(F, Text);
  CloseFile(F);
end;

function ReadText(const Path: AnsiString): AnsiString;
var
  F: TextFile;
begin
  AssignFile(F, Path);
  Reset(F);
  ReadLn(F, Result);
  CloseFile(F);
end;

{ The names in the target folder, each followed by a blank. }
function Listing: AnsiString;
var
  Name: AnsiString;
  Find: PtrUInt;
  Data: TFindData;
begin
  Result := '';
  Find := FindFirstFileA(PAnsiChar(TargetDir + '\*'), Data);
  if Find = PtrUInt(-1) then
    Exit;
  repeat
    Name := PAnsiChar(@Data.Name[0]);
    if (Name <> '.') and (Name <> '..') then
      Result := Result + Name + ' ';
  until not FindNextFileA(Find, Data);
  FindClose(Find);
end;

procedure PointAt(Secure: Boolean);
begin
  if Secure then
    WriteText(TargetDir + '\..\tolva\tolva.ini', '[Global]'#13#10'Server=' + Server + #13#10'Timeout=5'#13#10)
  else
    WriteText(TargetDir + '\..\tolva\tolva.ini', '[Global]'#13#10'Https=0'#13#10'Server=' + Server + #13#10);
end;

{ HKEY_LOCAL_MACHINE of this process redirected into a scratch key that names
  the depot-number variant; nothing reaches the machine's registry. }
procedure DepotVariant(Active: Boolean);
var
  Scratch, Key: HKEY;
  Value: AnsiString;
begin
  if not Active then
  begin
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, 0);
    RegDeleteTreeA(HKEY_CURRENT_USER, 'Software\ImpApiTest\RaisingHost');
    Exit;
  end;
  RegCreateKeyExA(HKEY_CURRENT_USER, 'Software\ImpApiTest\RaisingHost', 0, nil, 0, $F003F, nil, Scratch, nil);
  RegCreateKeyExA(Scratch, 'Software\Korvane\VEKT\ImportAPI\tolva', 0, nil, 0, $F003F, nil, Key, nil);
  Value := 'lintessar';
  RegSetValueExA(Key, 'API_Variante', 0, 1, PAnsiChar(Value), Length(Value) + 1);
  RegCloseKey(Key);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, Scratch);
  RegCloseKey(Scratch);
end;

function Import(const Params: AnsiString): LongInt;
var
  LastImport: Double;
begin
  LastImport := 1;
  Result := ExportXML(PAnsiChar(TargetDir), '4711', 0, @LastImport, PAnsiChar(Params));
end;

var
  OtherResult: LongInt;

function ImportOnOtherThread(Param: Pointer): LongWord; stdcall;
begin
  OtherResult := Import(Unattended);
  Result := 0;
end;

procedure RunCase(Loop: TLoop);
var
  User, Password: array[0..IMPAPI_TOLVA_USER_BUFFER_SIZE - 1] of AnsiChar;
  Extra: array[0..IMPAPI_TOLVA_EXTRA_BUFFER_SIZE - 1] of AnsiChar;
  Windows, Code: LongInt;
  Caught: TObject;
  CaughtClass: TClass;
  CaughtCode: LongWord;
  CaughtAddress: Pointer;
  Thread: PtrUInt;
  Name: AnsiString;
begin
  Name := LoopNames[Loop] + ', ' + RaiseNames[Raising];
  ServeQueue;
  Windows := ThreadWindows;
  WriteText(TargetDir + '\tolva.xml', '<earlier/>');
  PointAt(Loop = lpCertificate);
  DepotVariant(Loop = lpDepotNumber);
  FillChar(User, SizeOf(User), 0);
  FillChar(Password, SizeOf(Password), 0);
  FillChar(Extra, SizeOf(Extra), 0);
  Move(PAnsiChar('kennung')^, User, 7);
  Move(PAnsiChar('alt')^, Password, 3);
  CaughtClass := nil;
  CaughtCode := 0;
  CaughtAddress := nil;
  Code := 1;
  PostMessageA(HostWindow, WM_HOST_RAISE, 0, 0);
  try
    case Loop of
      lpPassword: Code := Import('UserLogin=u'#13#10);
      lpAccessData: Code := ApiDataDialog(@User[0], @Password[0], @Extra[0]);
    else
      Code := Import('UserLogin=u'#13#10'Password=p'#13#10);
    end;
  except
    Caught := RaiseList^.FObject;
    CaughtClass := Caught.ClassType;
    if Caught is EOsError then
    begin
      CaughtCode := EOsError(Caught).Code;
      CaughtAddress := EOsError(Caught).Address;
    end;
  end;
  DepotVariant(False);
  PointAt(False);
  if Raising = rsPascal then
    Expect(CaughtClass = EHostError, Name + ': the host''s exception came back')
  else
    Expect((CaughtClass = EOsError) and (CaughtCode = $C0000005) and
      (PtrUInt(CaughtAddress) >= GetModuleHandleA(nil)) and (PtrUInt(CaughtAddress) < GetModuleHandleA(nil) + $100000),
      Name + ': the access violation came back with the address of the fault');
  Expect(Code = 1, Name + ': the call did not return');
  ServeQueue;
  Expect(ThreadWindows = Windows, Name + ': no window of the call is left');
  Expect(IsWindowEnabled(HostWindow), Name + ': the host''s window is enabled');
  Expect((Listing = 'tolva.xml ') and (ReadText(TargetDir + '\tolva.xml') = '<earlier/>'), Name + ': no file written');
  Expect((AnsiString(PAnsiChar(@User[0])) = 'kennung') and (AnsiString(PAnsiChar(@Password[0])) = 'alt'), Name + ': the access data are untouched');
  Expect(Import(Unattended) = IMPAPI_TOLVA_RES_OK, Name + ': the next import works');
  OtherResult := 1;
  Thread := CreateThread(nil, 0, @ImportOnOtherThread, nil, 0, nil);
  WaitForSingleObject(Thread, 60000);
  CloseHandle(Thread);
  Expect(OtherResult = IMPAPI_TOLVA_RES_OK, Name + ': the next import works on another thread');
end;

var
  Module: PtrUInt;
  WndClass: TWndClassA;
  Loop: TLoop;
begin
  if ParamCount <> 3 then
  begin
    WriteLn('usage: RaisingHost DLLPATH TARGETDIR SERVER');
    Halt(2);
  end;
  TargetDir := ParamStr(2);
  Server := ParamStr(3);
  ExceptObjProc := @OsException;
  Module := LoadLibraryA(PAnsiChar(AnsiString(ParamStr(1))));
  ExportXML := GetProcAddress(Module, 'ExportXML');
  ApiDataDialog := GetProcAddress(Module, 'ApiDataDialog');
  if not Assigned(ExportXML) or not Assigned(ApiDataDialog) then
  begin
    WriteLn(ParamStr(1), ' not loaded');
    Halt(2);
  end;
  FillChar(WndClass, SizeOf(WndClass), 0);
  WndClass.WndProc := @HostWindowProc;
  WndClass.Instance := GetModuleHandleA(nil);
  WndClass.ClassName := 'RaisingHostWindow';
  RegisterClassA(WndClass);
  HostWindow := CreateWindowExA(0, 'RaisingHostWindow', 'Host', WS_VISIBLE_OVERLAPPED, 0, 0, 200, 100, 0, 0,
    GetModuleHandleA(nil), nil);
  for Loop := Low(TLoop) to High(TLoop) do
    for Raising := Low(TRaise) to High(TRaise) do
      RunCase(Loop);
  WriteLn(Failures, ' failed');
  if Failures > 0 then
    ExitCode := 1;
end.

{ Compiles and runs one start-up script with Pascal Script.

  The script interface (seven types, four routines, the class TSentrel with two
  methods and the variable Sentrel) is registered into a fresh TPSScript for
  every run. Every routine and method forwards to the host through ks_host.

  The run-time side is registered by name (RegisterFunctionName and
  RegisterMethodName): the routines read their arguments from the engine's
  stack themselves. The engine's generic call thunk is never used, so a Pascal
  exception raised here travels through ordinary Pascal frames only. That
  matters on Win64, where the thunk has no unwind data.

  Strings: the Free Pascal build of the engine makes "String" an 8-bit string;
  only its Delphi 2009+ build maps it to UnicodeString. Before the interface
  is registered, the engine's 8-bit "String" type is renamed out of the way
  and "String" is declared again as the engine's Unicode string type. The
  script's declarations find types by name from the oldest, host declarations
  from the newest, so renaming is needed for both to meet the Unicode type.
  String in the interface's declarations (routine parameters and record
  fields) and in the script's own code therefore means UnicodeString, as with
  a Unicode build of the engine. The engine's standard routines (IntToStr,
  Copy, ExceptionParam, ...) were declared before and keep their 8-bit
  strings; the engine converts between both kinds where they meet, through
  the ANSI code page. A script's string may hold NULs (#0): the routines hand
  each string to the host with its length, never cut at a NUL. }
unit ks_engine;

{$H+}

interface

uses
  ks_api;

function KsRunScript(AnsiText: PAnsiChar; Host: PKsHost; Res: PKsResult): Int32;

implementation

uses
  {$IFDEF UNIX}BaseUnix,{$ENDIF}
  SysUtils, Classes, uPSUtils, uPSCompiler, uPSRuntime, uPSComponent;

const
  { should_stop is asked once per this many executed instructions. }
  StopPollInterval = 64;
  { A run whose engine stack grows beyond either limit recurses without end
    and ends with the engine's "Out Of Stack Range" error. The engine's stack
    grows in small steps and reorganises its item list every few hundred
    pushes, so deep stacks cost time quadratic in their depth: these limits
    keep the worst case well under a second. The byte limit stays below the
    room reserved for the stack at the start of a run, so it is never copied
    to grow. }
  MaxStackBytes = 4 * 1024 * 1024;
  MaxStackItems = 64 * 1024;
  StackReserve = 8 * 1024 * 1024;

type
  { The central object as the script sees it. The script only ever calls its
    two methods on the instance bound to "Sentrel"; they go to the host. }
  TSentrel = class(TObject)
  end;

  { Reaches the engine's stack, which TPSExec keeps protected. }
  TPSExecAccess = class(TPSExec)
  end;

  TErrBuf = array[0..KS_ERR_CAPACITY - 1] of WideChar;

  TKsScript = class(TPSScript)
  private
    FHost: PKsHost;
    FSentrel: TSentrel;
    FStopped: Boolean;
    FTicks: Cardinal;
    { The last message a host routine failed with, as raised (8-bit) and as
      the host wrote it; lets the final error text keep the host's characters. }
    FHostErrorA: AnsiString;
    FHostErrorW: UnicodeString;
    procedure DoCompile(Sender: TPSScript);
    procedure DoExecImport(Sender: TObject; Se: TPSExec; X: TPSRuntimeClassImporter);
    procedure DoExecute(Sender: TPSScript);
    procedure DoLine(Sender: TObject);
  public
    constructor CreateFor(AHost: PKsHost);
    destructor Destroy; override;
    procedure HostCall(Rc: Int32; var Err: TErrBuf);
    function ErrorText: UnicodeString;
    property Host: PKsHost read FHost;
    property Stopped: Boolean read FStopped;
  end;

function Ctx(Caller: TPSExec): TKsScript; inline;
begin
  Result := TKsScript(Caller.Id);
end;

procedure Missing(const Name: string);
begin
  raise Exception.Create(Name + ' is not available');
end;

{ QInitializeType (TypeID: String; RootType; EditType; ValueType; tPlatform; DefAddr: String) }
function ProcInitializeType(Caller: TPSExec; P: TPSExternalProcRec; Global, Stack: TPSStack): Boolean;
var
  S: TKsScript;
  TypeId, DefAddr: UnicodeString;
  Err: TErrBuf;
begin
  Result := True;
  S := Ctx(Caller);
  if S.Stopped then Exit;
  if not Assigned(S.Host^.initialize_type) then Missing('QInitializeType');
  TypeId := Stack.GetUnicodeString(-1);
  DefAddr := Stack.GetUnicodeString(-6);
  Err[0] := #0;
  S.HostCall(S.Host^.initialize_type(S.Host^.ctx, PWideChar(TypeId), Length(TypeId),
    Stack.GetInt(-2), Stack.GetInt(-3), Stack.GetInt(-4), Stack.GetInt(-5),
    PWideChar(DefAddr), Length(DefAddr), @Err[0], KS_ERR_CAPACITY), Err);
end;

{ function QAddValue (TypeID, ValueName: String): Boolean }
function ProcAddValue(Caller: TPSExec; P: TPSExternalProcRec; Global, Stack: TPSStack): Boolean;
var
  S: TKsScript;
  TypeId, ValueName: UnicodeString;
  R: Int32;
  Err: TErrBuf;
begin
  Result := True;
  S := Ctx(Caller);
  if S.Stopped then Exit;
  if not Assigned(S.Host^.add_value) then Missing('QAddValue');
  TypeId := Stack.GetUnicodeString(-2);
  ValueName := Stack.GetUnicodeString(-3);
  R := 0;
  Err[0] := #0;
  S.HostCall(S.Host^.add_value(S.Host^.ctx, PWideChar(TypeId), Length(TypeId),
    PWideChar(ValueName), Length(ValueName), @R, @Err[0], KS_ERR_CAPACITY), Err);
  Stack.SetBool(-1, R <> 0);
end;

{ function QScanForValues (TypeID, ValueName: String; AVCnt: Integer;
    AVT1: VALUE_TYPES; AVN1: String; ... AVT4: VALUE_TYPES; AVN4: String): Boolean }
function ProcScanForValues(Caller: TPSExec; P: TPSExternalProcRec; Global, Stack: TPSStack): Boolean;
var
  S: TKsScript;
  TypeId, ValueName: UnicodeString;
  Names: array[0..3] of UnicodeString;
  Types, Lengths: TKsInts4;
  Ptrs: TKsNames4;
  I: Integer;
  R: Int32;
  Err: TErrBuf;
begin
  Result := True;
  S := Ctx(Caller);
  if S.Stopped then Exit;
  if not Assigned(S.Host^.scan_for_values) then Missing('QScanForValues');
  TypeId := Stack.GetUnicodeString(-2);
  ValueName := Stack.GetUnicodeString(-3);
  for I := 0 to 3 do
  begin
    Types[I] := Stack.GetInt(-5 - 2 * I);
    Names[I] := Stack.GetUnicodeString(-6 - 2 * I);
    Ptrs[I] := PWideChar(Names[I]);
    Lengths[I] := Length(Names[I]);
  end;
  R := 0;
  Err[0] := #0;
  S.HostCall(S.Host^.scan_for_values(S.Host^.ctx, PWideChar(TypeId), Length(TypeId),
    PWideChar(ValueName), Length(ValueName), Stack.GetInt(-4), @Types, @Ptrs, @Lengths, @R,
    @Err[0], KS_ERR_CAPACITY), Err);
  Stack.SetBool(-1, R <> 0);
end;

{ function QAddAllValues(TypeID: String): Boolean }
function ProcAddAllValues(Caller: TPSExec; P: TPSExternalProcRec; Global, Stack: TPSStack): Boolean;
var
  S: TKsScript;
  TypeId: UnicodeString;
  R: Int32;
  Err: TErrBuf;
begin
  Result := True;
  S := Ctx(Caller);
  if S.Stopped then Exit;
  if not Assigned(S.Host^.add_all_values) then Missing('QAddAllValues');
  TypeId := Stack.GetUnicodeString(-2);
  R := 0;
  Err[0] := #0;
  S.HostCall(S.Host^.add_all_values(S.Host^.ctx, PWideChar(TypeId), Length(TypeId), @R,
    @Err[0], KS_ERR_CAPACITY), Err);
  Stack.SetBool(-1, R <> 0);
end;

{ Methods: Self is on top of the stack, the arguments follow in order. }
function SelfMissing(Caller: TPSExec; Stack: TPSStack): Boolean;
begin
  Result := Stack.GetClass(-1) = nil;
  if Result then
    Caller.CMD_Err(erNullPointerException);
end;

function BoolArg(Stack: TPSStack; Index: Integer): Int32;
begin
  if Stack.GetBool(Index) then Result := 1 else Result := 0;
end;

{ procedure SetConfirmation (ConfirmChange, ConfirmDelete, ConfirmAdd, ConfirmRestore: Boolean) }
function ProcSetConfirmation(Caller: TPSExec; P: TPSExternalProcRec; Global, Stack: TPSStack): Boolean;
var
  S: TKsScript;
  Err: TErrBuf;
begin
  S := Ctx(Caller);
  if S.Stopped then Exit(True);
  if SelfMissing(Caller, Stack) then Exit(False);
  Result := True;
  if not Assigned(S.Host^.set_confirmation) then Missing('SetConfirmation');
  Err[0] := #0;
  S.HostCall(S.Host^.set_confirmation(S.Host^.ctx, BoolArg(Stack, -2), BoolArg(Stack, -3),
    BoolArg(Stack, -4), BoolArg(Stack, -5), @Err[0], KS_ERR_CAPACITY), Err);
end;

{ procedure SetConfiguration(CanCreateKey, CanDebugStrings: Boolean) }
function ProcSetConfiguration(Caller: TPSExec; P: TPSExternalProcRec; Global, Stack: TPSStack): Boolean;
var
  S: TKsScript;
  Err: TErrBuf;
begin
  S := Ctx(Caller);
  if S.Stopped then Exit(True);
  if SelfMissing(Caller, Stack) then Exit(False);
  Result := True;
  if not Assigned(S.Host^.set_configuration) then Missing('SetConfiguration');
  Err[0] := #0;
  S.HostCall(S.Host^.set_configuration(S.Host^.ctx, BoolArg(Stack, -2), BoolArg(Stack, -3),
    @Err[0], KS_ERR_CAPACITY), Err);
end;

{ TKsScript }

constructor TKsScript.CreateFor(AHost: PKsHost);
begin
  inherited Create(nil);
  FHost := AHost;
  FSentrel := TSentrel.Create;
  OnCompile := DoCompile;
  OnExecImport := DoExecImport;
  OnExecute := DoExecute;
  OnLine := DoLine;
end;

destructor TKsScript.Destroy;
begin
  inherited Destroy;
  FSentrel.Free;
end;

procedure TKsScript.HostCall(Rc: Int32; var Err: TErrBuf);
begin
  if Rc = KS_OK then Exit;
  Err[High(Err)] := #0;
  FHostErrorW := PWideChar(@Err[0]);
  if FHostErrorW = '' then
    FHostErrorW := 'host routine failed';
  FHostErrorA := AnsiString(FHostErrorW);
  raise Exception.Create(string(FHostErrorA));
end;

procedure TKsScript.DoCompile(Sender: TPSScript);
var
  C: TPSPascalCompiler;
  Cl: TPSCompileTimeClass;
  T: TPSType;

  procedure AddRoutine(const Decl: tbtstring; Proc: TPSProcPtr);
  var
    R: TPSRegProc;
  begin
    R := C.AddDelphiFunction(Decl);
    if R <> nil then
      Sender.Exec.RegisterFunctionName(R.Name, Proc, nil, nil);
  end;

begin
  C := Sender.Comp;
  { Make "String" the Unicode string type (see the top of this unit). The
    engine's standard routines keep the 8-bit type they were declared with. }
  T := C.FindType('String');
  if (T <> nil) and (T.BaseType = btString) then
    T.Name := '!ANSISTRING';
  C.AddType('String', btUnicodeString);

  C.AddTypeS('EDIT_TYPES', '(ET_OPTIONAL, ET_MUST)');
  C.AddTypeS('VALUE_TYPES', '(VAL_INTEGER, VAL_STRING, VAL_EXPANDSTRING, VAL_MULTISZ)');
  C.AddTypeS('ROOT_TYPES', '(RT_HKLM, RT_HKCU)');
  C.AddTypeS('PLATFORM_TYPE', '(WOW64_32, WOW64_64)');
  C.AddTypeS('TItemType', 'Record TypeID: String; RootType:ROOT_TYPES; EditType:EDIT_TYPES; ' +
    'ValueType: VALUE_TYPES; tPlatform:PLATFORM_TYPE; DefAddr:String; End;');
  C.AddTypeS('ADD_VAL_REC', 'record  ValType: VALUE_TYPES;  ValName: String;  end;');
  C.AddTypeS('ADD_VAL_ARR', 'array of ADD_VAL_REC');

  AddRoutine('procedure QInitializeType (TypeID: String; RootType:ROOT_TYPES; EditType:EDIT_TYPES; ' +
    'ValueType: VALUE_TYPES; tPlatform:PLATFORM_TYPE; DefAddr:String)', ProcInitializeType);
  AddRoutine('function QAddValue (TypeID, ValueName: String):boolean', ProcAddValue);
  AddRoutine('function  QScanForValues (TypeID, ValueName: String; AVCnt: integer; ' +
    'AVT1: VALUE_TYPES; AVN1: String; AVT2: VALUE_TYPES; AVN2: String; ' +
    'AVT3: VALUE_TYPES; AVN3: String; AVT4: VALUE_TYPES; AVN4: String): boolean', ProcScanForValues);
  AddRoutine('function QAddAllValues(TypeID: String): Boolean', ProcAddAllValues);

  Cl := C.AddClass(nil, TSentrel);
  Cl.RegisterMethod('procedure SetConfirmation (ConfirmChange, ConfirmDelete, ConfirmAdd, ConfirmRestore: boolean);');
  Cl.RegisterMethod('procedure SetConfiguration(CanCreateKey, CanDebugStrings: Boolean);;');

  Sender.AddRegisteredVariable('Sentrel', 'TSentrel');
end;

procedure TKsScript.DoExecImport(Sender: TObject; Se: TPSExec; X: TPSRuntimeClassImporter);
begin
  with X.Add(TSentrel) do
  begin
    RegisterMethodName('SetConfirmation', ProcSetConfirmation, nil, nil);
    RegisterMethodName('SetConfiguration', ProcSetConfiguration, nil, nil);
  end;
end;

procedure TKsScript.DoExecute(Sender: TPSScript);
var
  Stack: TPSStack;
begin
  Sender.SetVarToInstance('Sentrel', FSentrel);
  Stack := TPSExecAccess(TPSExec(Exec)).FStack;
  if Stack.Capacity < StackReserve then
    Stack.Capacity := StackReserve;
end;

{ Called by the engine before every instruction. }
procedure TKsScript.DoLine(Sender: TObject);
var
  Stack: TPSStack;
begin
  Inc(FTicks);
  if FTicks mod StopPollInterval <> 0 then Exit;
  if FStopped then Exit;
  Stack := TPSExecAccess(TPSExec(Exec)).FStack;
  if (Stack.Length > MaxStackBytes) or (Stack.Count > MaxStackItems) then
    Exec.CMD_Err(erOutOfStackRange)
  else if Assigned(FHost^.should_stop) and (FHost^.should_stop(FHost^.ctx) <> 0) then
  begin
    FStopped := True;
    Exec.Stop;
  end;
end;

function AnsiToW(const S: AnsiString): UnicodeString;
begin
  Result := UnicodeString(S);
end;

function TKsScript.ErrorText: UnicodeString;
var
  S: AnsiString;
  I: Integer;
begin
  S := ExecErrorToString;
  { A host message goes into the script as 8-bit text; put the host's own
    characters back where the engine quotes it. }
  if (FHostErrorA <> '') and (ExecErrorParam = FHostErrorA) then
  begin
    I := Pos(FHostErrorA, S);
    if I > 0 then
    begin
      Result := AnsiToW(Copy(S, 1, I - 1)) + FHostErrorW + AnsiToW(Copy(S, I + Length(FHostErrorA), MaxInt));
      Exit;
    end;
  end;
  Result := AnsiToW(S);
end;

procedure PutText(Res: PKsResult; const S: UnicodeString);
var
  N: Integer;
begin
  N := Length(S);
  if N > KS_MESSAGE_CAPACITY - 1 then N := KS_MESSAGE_CAPACITY - 1;
  if N > 0 then
    Move(PWideChar(S)^, Res^.message[0], N * SizeOf(WideChar));
  Res^.message[N] := #0;
end;

function Run(AnsiText: PAnsiChar; Host: PKsHost; Res: PKsResult): Int32;
var
  S: TKsScript;
  I: Integer;
  Msg: UnicodeString;
begin
  S := TKsScript.CreateFor(Host);
  try
    S.Script.Text := AnsiString(AnsiText);
    if not S.Compile then
    begin
      if Assigned(Host^.compiler_message) then
        for I := 0 to S.CompilerMessageCount - 1 do
        begin
          Msg := AnsiToW(S.CompilerErrorToStr(I));
          Host^.compiler_message(Host^.ctx, PWideChar(Msg));
        end;
      { Compiled but could not be loaded for running: say why. }
      if S.ExecErrorCode <> erNoError then
        PutText(Res, AnsiToW(S.ExecErrorToString));
      Exit(KS_RUN_COMPILE_FAILED);
    end;
    if S.Execute then
      Result := KS_RUN_OK
    else
      Result := KS_RUN_ERROR;
    if S.Stopped then
      Exit(KS_RUN_STOPPED);
    if Result = KS_RUN_ERROR then
    begin
      Res^.procNo := Int32(S.ExecErrorProcNo);
      Res^.position := Int32(S.ExecErrorByteCodePosition);
      PutText(Res, S.ErrorText);
    end;
  finally
    S.Free;
  end;
end;

{$IFDEF UNIX}
{ A library gives the host its signal handlers back once it is loaded, so a
  fault inside the engine (the engine divides by a script's zero without
  looking) would end the host process. For the time of a run, the RTL's own
  handlers turn such faults into Pascal exceptions, which the engine reports
  as run-time errors. }
procedure InstallDefaultSignalHandler(Signum: LongInt; out OldAct: SigActionRec);
  external name '_FPC_INSTALLDEFAULTSIGHANDLER';

const
  GuardedSignals: array[0..3] of cint = (SIGFPE, SIGSEGV, SIGBUS, SIGILL);

type
  TSignalGuard = array[0..3] of SigActionRec;

procedure GuardSignals(out G: TSignalGuard);
var
  I: Integer;
begin
  for I := Low(GuardedSignals) to High(GuardedSignals) do
    InstallDefaultSignalHandler(GuardedSignals[I], G[I]);
end;

procedure UnguardSignals(const G: TSignalGuard);
var
  I: Integer;
begin
  for I := Low(GuardedSignals) to High(GuardedSignals) do
    FpSigAction(GuardedSignals[I], @G[I], nil);
end;
{$ENDIF}

function KsRunScript(AnsiText: PAnsiChar; Host: PKsHost; Res: PKsResult): Int32;
{$IFDEF UNIX}
var
  Guard: TSignalGuard;
{$ENDIF}
begin
  if Res = nil then Exit(KS_RUN_INTERNAL);
  FillChar(Res^, SizeOf(Res^), 0);
  try
    if (AnsiText = nil) or (Host = nil) then
    begin
      PutText(Res, 'ks_run_script: null argument');
      Result := KS_RUN_INTERNAL;
    end else
    begin
      {$IFDEF UNIX}
      GuardSignals(Guard);
      try
      {$ENDIF}
        Result := Run(AnsiText, Host, Res);
      {$IFDEF UNIX}
      finally
        UnguardSignals(Guard);
      end;
      {$ENDIF}
    end;
  except
    on E: Exception do
    begin
      Res^.procNo := 0;
      Res^.position := 0;
      PutText(Res, UnicodeString(E.ClassName) + ': ' + UnicodeString(E.Message));
      Result := KS_RUN_INTERNAL;
    end
    else
    begin
      PutText(Res, 'unknown exception in the script engine');
      Result := KS_RUN_INTERNAL;
    end;
  end;
  Res^.status := Result;
end;

end.

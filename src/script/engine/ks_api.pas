{ Pascal mirror of src/script/engine_api.h. Keep both in step. }
unit ks_api;

{$PACKRECORDS C}

interface

const
  KS_OK = 0;
  KS_FAIL = 1;
  KS_ERR_CAPACITY = 512;

  KS_RUN_OK = 0;
  KS_RUN_COMPILE_FAILED = 1;
  KS_RUN_ERROR = 2;
  KS_RUN_STOPPED = 3;
  KS_RUN_INTERNAL = 4;

  KS_ENGINE_API_VERSION = 2;
  KS_MESSAGE_CAPACITY = 1024;

type
  ks_char = WideChar; { UTF-16 code unit }
  pks_char = PWideChar;
  TKsNames4 = array[0..3] of pks_char;
  PKsNames4 = ^TKsNames4;
  TKsInts4 = array[0..3] of Int32;
  PKsInts4 = ^TKsInts4;

  { The routines' strings go with their lengths in code units: they may hold NULs. }
  TKsInitializeType = function(ctx: Pointer; typeId: pks_char; typeIdLength: Int32;
    rootType, editType, valueType, platform: Int32; defAddr: pks_char; defAddrLength: Int32;
    err: pks_char; errCap: Int32): Int32; cdecl;
  TKsAddValue = function(ctx: Pointer; typeId: pks_char; typeIdLength: Int32;
    valueName: pks_char; valueNameLength: Int32; result: PInt32;
    err: pks_char; errCap: Int32): Int32; cdecl;
  TKsScanForValues = function(ctx: Pointer; typeId: pks_char; typeIdLength: Int32;
    valueName: pks_char; valueNameLength: Int32; avCnt: Int32;
    avTypes: PKsInts4; avNames: PKsNames4; avNameLengths: PKsInts4; result: PInt32;
    err: pks_char; errCap: Int32): Int32; cdecl;
  TKsAddAllValues = function(ctx: Pointer; typeId: pks_char; typeIdLength: Int32; result: PInt32;
    err: pks_char; errCap: Int32): Int32; cdecl;
  TKsSetConfirmation = function(ctx: Pointer; change, del, add, restore: Int32;
    err: pks_char; errCap: Int32): Int32; cdecl;
  TKsSetConfiguration = function(ctx: Pointer; canCreateKey, debugStrings: Int32;
    err: pks_char; errCap: Int32): Int32; cdecl;
  TKsCompilerMessage = procedure(ctx: Pointer; text: pks_char); cdecl;
  TKsShouldStop = function(ctx: Pointer): Int32; cdecl;

  PKsHost = ^TKsHost;
  TKsHost = record
    ctx: Pointer;
    initialize_type: TKsInitializeType;
    add_value: TKsAddValue;
    scan_for_values: TKsScanForValues;
    add_all_values: TKsAddAllValues;
    set_confirmation: TKsSetConfirmation;
    set_configuration: TKsSetConfiguration;
    compiler_message: TKsCompilerMessage;
    should_stop: TKsShouldStop;
  end;

  PKsResult = ^TKsResult;
  TKsResult = record
    status: Int32;
    procNo: Int32;
    position: Int32;
    message: array[0..KS_MESSAGE_CAPACITY - 1] of ks_char;
  end;

implementation

end.

{ The script engine library: Pascal Script behind the C interface of
  src/script/engine_api.h. Built as libkestrow_ps.so, kestrow_ps64.dll and
  kestrow_ps32.dll. }
library kestrow_ps;

{$H+}

uses
  {$IFDEF UNIX}
  cthreads, { thread-safe heap and threadvars for whatever thread the host uses }
  cwstring, { 8-bit <-> UTF-16 conversions through iconv }
  {$ENDIF}
  SysUtils,
  ks_api in 'ks_api.pas',
  ks_engine in 'ks_engine.pas';

{ Pascal ignores case: inside this function its own name would hide the
  constant of the same spelling. }
function ks_engine_api_version: Int32; cdecl;
begin
  Result := ks_api.KS_ENGINE_API_VERSION;
end;

function ks_run_script(AnsiText: PAnsiChar; Host: PKsHost; Res: PKsResult): Int32; cdecl;
begin
  Result := KsRunScript(AnsiText, Host, Res);
end;

exports
  ks_engine_api_version name 'ks_engine_api_version',
  ks_run_script name 'ks_run_script';

begin
  { Every run creates and frees a whole engine. With the RTL's default of four
    kept chunks, the heap hands its memory back to the system after each run
    and faults it in again on the next one, which made a run several times
    slower on Linux. }
  MaxKeptOSChunks := 16;
  {$IFDEF UNIX}
  { Linux has no ANSI code page; script text and 8-bit engine strings are
    taken as Windows-1252 here. }
  DefaultSystemCodePage := 1252;
  {$ENDIF}
end.

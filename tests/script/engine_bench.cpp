// Prints how long the script engine takes: one compile and run of a start-up script of about
// 100 lines, and the cost of polling should_stop. Not a test; run it by hand.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "program_folder.h"
#include "script/engine_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

namespace {

using kestrow::test::ProgramFolder;

long g_calls = 0;
long g_polls = 0;

int32_t KS_CALL InitType(void*, const ks_char*, int32_t, int32_t, int32_t, int32_t, int32_t, const ks_char*, int32_t,
                         ks_char*, int32_t) {
  ++g_calls;
  return KS_OK;
}
int32_t KS_CALL AddValue(void*, const ks_char*, int32_t, const ks_char*, int32_t, int32_t* r, ks_char*, int32_t) {
  ++g_calls;
  *r = 1;
  return KS_OK;
}
int32_t KS_CALL Scan(void*, const ks_char*, int32_t, const ks_char*, int32_t, int32_t, const int32_t*,
                     const ks_char* const*, const int32_t*, int32_t* r, ks_char*, int32_t) {
  ++g_calls;
  *r = 1;
  return KS_OK;
}
int32_t KS_CALL AddAll(void*, const ks_char*, int32_t, int32_t* r, ks_char*, int32_t) {
  ++g_calls;
  *r = 1;
  return KS_OK;
}
int32_t KS_CALL Confirm(void*, int32_t, int32_t, int32_t, int32_t, ks_char*, int32_t) {
  ++g_calls;
  return KS_OK;
}
int32_t KS_CALL Configure(void*, int32_t, int32_t, ks_char*, int32_t) {
  ++g_calls;
  return KS_OK;
}
void KS_CALL Message(void*, const ks_char*) {}
int32_t KS_CALL NeverStop(void*) {
  ++g_polls;
  return 0;
}

// A start-up script of about 100 lines, as a user might write one.
std::string StartupScript() {
  std::string s =
      "const\n"
      "  Base = 'Software\\Microsoft\\Windows\\CurrentVersion\\';\n"
      "var\n"
      "  Types: array of TItemType;\n"
      "  Extra: ADD_VAL_ARR;\n"
      "  i, n: Integer;\n"
      "  Name: String;\n"
      "\n"
      "procedure Declare(Id, Addr: String; Root: ROOT_TYPES; Edit: EDIT_TYPES; Kind: VALUE_TYPES);\n"
      "var t: TItemType;\n"
      "begin\n"
      "  t.TypeID := Id;\n"
      "  t.RootType := Root;\n"
      "  t.EditType := Edit;\n"
      "  t.ValueType := Kind;\n"
      "  t.tPlatform := WOW64_64;\n"
      "  t.DefAddr := Addr;\n"
      "  n := Length(Types);\n"
      "  SetLength(Types, n + 1);\n"
      "  Types[n] := t;\n"
      "  QInitializeType(t.TypeID, t.RootType, t.EditType, t.ValueType, t.tPlatform, t.DefAddr);\n"
      "end;\n"
      "\n"
      "function Pad(const S: String; Width: Integer): String;\n"
      "begin\n"
      "  Result := S;\n"
      "  while Length(Result) < Width do\n"
      "    Result := Result + ' ';\n"
      "end;\n"
      "\n"
      "function KindName(Kind: VALUE_TYPES): String;\n"
      "begin\n"
      "  case Kind of\n"
      "    VAL_INTEGER: Result := 'integer';\n"
      "    VAL_STRING: Result := 'string';\n"
      "    VAL_EXPANDSTRING: Result := 'expandable string';\n"
      "  else\n"
      "    Result := 'multi-string';\n"
      "  end;\n"
      "end;\n"
      "\n"
      "procedure AddNamed(const Id: String; Count: Integer);\n"
      "var k: Integer;\n"
      "begin\n"
      "  for k := 1 to Count do\n"
      "    if not QAddValue(Id, 'Value' + IntToStr(k)) then\n"
      "      Exit;\n"
      "end;\n"
      "\n"
      "begin\n"
      "  Sentrel.SetConfirmation(True, True, True, True);\n"
      "  Sentrel.SetConfiguration(False, False);\n";
  for (int k = 0; k < 12; ++k) {
    const std::string id = "USER" + std::to_string(k);
    s += "  Declare('" + id + "', Base + 'Run" + std::to_string(k) + "', RT_HKCU, ET_OPTIONAL, VAL_STRING);\n";
  }
  s +=
      "  Declare('POLICY', Base + 'Policies\\Explorer\\Run', RT_HKLM, ET_MUST, VAL_EXPANDSTRING);\n"
      "  Declare('SERVICES', 'SYSTEM\\CurrentControlSet\\Services', RT_HKLM, ET_OPTIONAL, VAL_INTEGER);\n"
      "  for i := 0 to Length(Types) - 1 do\n"
      "  begin\n"
      "    Name := Pad(Types[i].TypeID, 12) + KindName(Types[i].ValueType);\n"
      "    if Types[i].EditType = ET_MUST then\n"
      "      QAddValue(Types[i].TypeID, Trim(Name))\n"
      "    else\n"
      "      QAddAllValues(Types[i].TypeID);\n"
      "  end;\n"
      "  SetLength(Extra, 4);\n"
      "  Extra[0].ValType := VAL_EXPANDSTRING; Extra[0].ValName := 'ImagePath';\n"
      "  Extra[1].ValType := VAL_STRING; Extra[1].ValName := 'DisplayName';\n"
      "  Extra[2].ValType := VAL_INTEGER; Extra[2].ValName := 'Type';\n"
      "  Extra[3].ValType := VAL_STRING; Extra[3].ValName := 'ObjectName';\n"
      "  QScanForValues('SERVICES', 'Start', 4, Extra[0].ValType, Extra[0].ValName,\n"
      "    Extra[1].ValType, Extra[1].ValName, Extra[2].ValType, Extra[2].ValName,\n"
      "    Extra[3].ValType, Extra[3].ValName);\n";
  for (int k = 0; k < 12; ++k) s += "  AddNamed('USER" + std::to_string(k) + "', " + std::to_string(k % 4 + 1) + ");\n";
  s +=
      "  try\n"
      "    QAddValue('POLICY', 'NoDrives');\n"
      "  except\n"
      "    QAddValue('POLICY', ExceptionParam);\n"
      "  end;\n"
      "end.\n";
  return s;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main() {
  using kestrow::script::EngineLibrary;
  EngineLibrary engine = EngineLibrary::Load(ProgramFolder());
  if (!engine.Loaded()) {
    std::printf("engine not loaded\n");
    return 1;
  }
  ks_host host{};
  host.initialize_type = InitType;
  host.add_value = AddValue;
  host.scan_for_values = Scan;
  host.add_all_values = AddAll;
  host.set_confirmation = Confirm;
  host.set_configuration = Configure;
  host.compiler_message = Message;
  ks_result out{};

  const std::string script = StartupScript();
  const long lines = long(std::count(script.begin(), script.end(), '\n'));
  if (engine.Run(script.c_str(), host, out) != KS_RUN_OK) {
    std::printf("start-up script failed: status %d\n", out.status);
    return 1;
  }
  std::vector<double> times;
  g_calls = 0;
  for (int i = 0; i < 41; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    engine.Run(script.c_str(), host, out);
    times.push_back(Seconds(std::chrono::steady_clock::now() - t0));
  }
  std::printf("start-up script: %ld lines, %ld host calls per run\n", lines, g_calls / 41);
  std::printf("compile+run: median %.2f ms, min %.2f ms, max %.2f ms (41 runs)\n", Median(times) * 1e3,
              *std::min_element(times.begin(), times.end()) * 1e3, *std::max_element(times.begin(), times.end()) * 1e3);

  // Polling: the same busy loop without and with a should_stop callback.
  const char* loop = "var i, j: Integer;\nbegin\n  j := 0;\n  for i := 1 to 3000000 do j := j + i mod 7;\nend.";
  std::vector<double> without, with;
  for (int i = 0; i < 5; ++i) {
    host.should_stop = nullptr;
    auto t0 = std::chrono::steady_clock::now();
    engine.Run(loop, host, out);
    without.push_back(Seconds(std::chrono::steady_clock::now() - t0));
    host.should_stop = NeverStop;
    g_polls = 0;
    t0 = std::chrono::steady_clock::now();
    engine.Run(loop, host, out);
    with.push_back(Seconds(std::chrono::steady_clock::now() - t0));
  }
  const double a = Median(without), b = Median(with);
  std::printf("busy loop of 3000000 iterations: %.1f ms without should_stop, %.1f ms with it (%+.1f%%), %ld polls\n",
              a * 1e3, b * 1e3, (b - a) / a * 100, g_polls);
  return 0;
}

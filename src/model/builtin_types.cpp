#include "model/builtin_types.h"

namespace kestrow {

const std::vector<TBuiltinType>& BuiltinTypes() {
  static const std::vector<TBuiltinType> types = {
      {{u"HKLM_WINLOGON32", RT_HKLM, ET_MUST, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"}, TBuiltinType::ByNames, {u"GinaDLL", u"Shell", u"UserInit", u"UIHost"}, {}},  // 1
      {{u"HKCU_WINLOGON32", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"}, TBuiltinType::ByNames, {u"Shell", u"UserInit", u"UIHost"}, {}},  // 2
      {{u"HKLM_RUN32", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"}, TBuiltinType::AllValues, {}, {}},  // 3
      {{u"HKLM_RUNONCE32", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"}, TBuiltinType::AllValues, {}, {}},  // 4
      {{u"HKLM_RUNSERVICES32", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"}, TBuiltinType::AllValues, {}, {}},  // 5
      {{u"HKLM_RUNSERVICESONCE32", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"}, TBuiltinType::AllValues, {}, {}},  // 6
      {{u"HKLM_RUNONCEEX32", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"}, TBuiltinType::AllValues, {}, {}},  // 7
      {{u"HKLM_POR32", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"}, TBuiltinType::AllValues, {}, {}},  // 8
      {{u"HKCU_RUN32", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"}, TBuiltinType::AllValues, {}, {}},  // 9
      {{u"HKCU_RUNSERVICES32", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"}, TBuiltinType::AllValues, {}, {}},  // 10
      {{u"HKCU_RUNONCE32", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"}, TBuiltinType::AllValues, {}, {}},  // 11
      {{u"HKCU_RUNONCEEX32", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"}, TBuiltinType::AllValues, {}, {}},  // 12
      {{u"HKCU_POR32", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"}, TBuiltinType::AllValues, {}, {}},  // 13
      {{u"HKCU_LOADRUN32", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"}, TBuiltinType::ByNames, {u"Load", u"Run"}, {}},  // 14
      {{u"HKLM_APPINIT32", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"}, TBuiltinType::ByNames, {u"AppInit_DLLs"}, {}},  // 15
      {{u"HKLM_IFEO32", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options"}, TBuiltinType::Subkeys, {u"Debugger"}, {}},  // 16
      {{u"HKLM_SERV32", RT_HKLM, ET_MUST, VAL_INTEGER, WOW64_32, u"\\SYSTEM\\CurrentControlSet\\Services"}, TBuiltinType::Subkeys, {u"Start"}, {{VAL_EXPANDSTRING, u"DisplayName"}, {VAL_STRING, u"Group"}, {VAL_EXPANDSTRING, u"ImagePath"}, {VAL_INTEGER, u"Type"}}},  // 17
      {{u"HKLM_NOTIFY32", RT_HKLM, ET_MUST, VAL_STRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify"}, TBuiltinType::Subkeys, {u"DLLName"}, {{VAL_INTEGER, u"Asynchronous"}}},  // 18
      {{u"HKLM_SF32", RT_HKLM, ET_MUST, VAL_STRING, WOW64_32, u"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders"}, TBuiltinType::ByNames, {u"Common Startup"}, {}},  // 19
      {{u"HKCU_SF32", RT_HKCU, ET_MUST, VAL_STRING, WOW64_32, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"}, TBuiltinType::ByNames, {u"Startup"}, {}},  // 20
      {{u"HKLM_USF32", RT_HKLM, ET_MUST, VAL_EXPANDSTRING, WOW64_32, u"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\User Shell Folders"}, TBuiltinType::ByNames, {u"Common Startup"}, {}},  // 21
      {{u"HKCU_USF32", RT_HKCU, ET_MUST, VAL_EXPANDSTRING, WOW64_32, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"}, TBuiltinType::ByNames, {u"Startup"}, {}},  // 22
      {{u"HKLM_ACTIVESETUP32", RT_HKLM, ET_OPTIONAL, VAL_EXPANDSTRING, WOW64_32, u"\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components"}, TBuiltinType::Subkeys, {u"StubPath"}, {{VAL_STRING, u"ComponentID"}, {VAL_INTEGER, u"IsInstalled"}, {VAL_INTEGER, u"DontAsk"}}},  // 23
      {{u"HKLM_WINLOGON64", RT_HKLM, ET_MUST, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"}, TBuiltinType::ByNames, {u"GinaDLL", u"Shell", u"UserInit", u"UIHost"}, {}},  // 24
      {{u"HKCU_WINLOGON64", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"}, TBuiltinType::ByNames, {u"Shell", u"UserInit", u"UIHost"}, {}},  // 25
      {{u"HKLM_RUN64", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"}, TBuiltinType::AllValues, {}, {}},  // 26
      {{u"HKLM_RUNONCE64", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"}, TBuiltinType::AllValues, {}, {}},  // 27
      {{u"HKLM_RUNSERVICES64", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"}, TBuiltinType::AllValues, {}, {}},  // 28
      {{u"HKLM_RUNSERVICESONCE64", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"}, TBuiltinType::AllValues, {}, {}},  // 29
      {{u"HKLM_RUNONCEEX64", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"}, TBuiltinType::AllValues, {}, {}},  // 30
      {{u"HKLM_POR64", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"}, TBuiltinType::AllValues, {}, {}},  // 31
      {{u"HKCU_RUN64", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"}, TBuiltinType::AllValues, {}, {}},  // 32
      {{u"HKCU_RUNSERVICES64", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"}, TBuiltinType::AllValues, {}, {}},  // 33
      {{u"HKCU_RUNONCE64", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"}, TBuiltinType::AllValues, {}, {}},  // 34
      {{u"HKCU_RUNONCEEX64", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"}, TBuiltinType::AllValues, {}, {}},  // 35
      {{u"HKCU_POR64", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"}, TBuiltinType::AllValues, {}, {}},  // 36
      {{u"HKCU_LOADRUN64", RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"}, TBuiltinType::ByNames, {u"Load", u"Run"}, {}},  // 37
      {{u"HKLM_APPINIT64", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"}, TBuiltinType::ByNames, {u"AppInit_DLLs"}, {}},  // 38
      {{u"HKLM_IFEO64", RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options"}, TBuiltinType::Subkeys, {u"Debugger"}, {}},  // 39
      {{u"HKLM_SERV64", RT_HKLM, ET_MUST, VAL_INTEGER, WOW64_64, u"\\SYSTEM\\CurrentControlSet\\Services"}, TBuiltinType::Subkeys, {u"Start"}, {{VAL_EXPANDSTRING, u"DisplayName"}, {VAL_STRING, u"Group"}, {VAL_EXPANDSTRING, u"ImagePath"}, {VAL_INTEGER, u"Type"}}},  // 40
      {{u"HKLM_NOTIFY64", RT_HKLM, ET_MUST, VAL_STRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify"}, TBuiltinType::Subkeys, {u"DLLName"}, {{VAL_INTEGER, u"Asynchronous"}}},  // 41
      {{u"HKLM_SF64", RT_HKLM, ET_MUST, VAL_STRING, WOW64_64, u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"}, TBuiltinType::ByNames, {u"Common Startup"}, {}},  // 42
      {{u"HKCU_SF64", RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"}, TBuiltinType::ByNames, {u"Startup"}, {}},  // 43
      {{u"HKLM_USF64", RT_HKLM, ET_MUST, VAL_EXPANDSTRING, WOW64_64, u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"}, TBuiltinType::ByNames, {u"Common Startup"}, {}},  // 44
      {{u"HKCU_USF64", RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"}, TBuiltinType::ByNames, {u"Startup"}, {}},  // 45
      {{u"HKLM_ACTIVESETUP64", RT_HKLM, ET_OPTIONAL, VAL_EXPANDSTRING, WOW64_64, u"\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components"}, TBuiltinType::Subkeys, {u"StubPath"}, {{VAL_STRING, u"ComponentID"}, {VAL_INTEGER, u"IsInstalled"}, {VAL_INTEGER, u"DontAsk"}}},  // 46
  };
  return types;
}

const std::vector<int>& BuiltinScanOrder() {
  // By position in the table, counted from 1: the order in which the rebuild reads them.
  static const std::vector<int> order = [] {
    const int byNumber[] = {1,  2,  3,  5,  4,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                            17, 18, 23, 20, 22, 19, 21, 24, 25, 26, 28, 27, 29, 30, 31, 32,
                            33, 34, 35, 36, 37, 38, 39, 40, 41, 46, 43, 45, 42, 44};
    std::vector<int> v;
    for (int n : byNumber) v.push_back(n - 1);
    return v;
  }();
  return order;
}

}  // namespace kestrow

// Opening an entry and the properties of the root: the plugin's command dispatcher.
#include "dialogs/forms.h"
#include "dialogs/user_interface.h"
#include "host/plugin.h"
#include "host/wide.h"
#include "platform/errors.h"
#include "model/command_files.h"
#include "model/names.h"
#include "model/sentrel.h"

namespace kestrow {

namespace {

// Asks for a key file and saves or restores the type's key with it.
bool RunKeyFileCommand(TSentrel& sentrel, const TMemItem& command, bool save) {
  TKeyFileDialog dialog;
  dialog.Save = save;
  const auto fileName = UserInterface().ChooseFile(dialog);
  if (!fileName) return false;
  return save ? sentrel.SaveKey(command, *fileName) : sentrel.RestoreKey(command, *fileName);
}

std::int32_t Succeeded(bool done) {
  if (!done) return FS_EXEC_ERROR;
  UserInterface().RequestRefresh();
  return FS_EXEC_OK;
}

}  // namespace

std::int32_t TPlugin::Open(const std::u16string& path) {
  TSentrel* sentrel = Sentrel.get();
  if (!sentrel) return FS_EXEC_ERROR;
  const std::u16string name = NamePart(path);
  // Every command below hands control to the user or the host (a dialog, a question, an error
  // box), and the host may list meanwhile, which publishes a new tree: the command holds the tree
  // its entry is in until it returns.
  const TTree tree = sentrel->Tree();
  const TMemItem* node = tree->NodeAt(path);
  if (!node) return FS_EXEC_ERROR;
  const TMemItem& target = *node;
  switch (target.ElementType) {
    case ELT_ITEM:
      return Succeeded(ShowEdForm(*sentrel, target));
    case ELT_COMMAND:
      switch (CommandFileOf(name)) {
        case TCommandFile::Add: return Succeeded(ShowAddForm(*sentrel, target));
        case TCommandFile::Save: return Succeeded(RunKeyFileCommand(*sentrel, target, true));
        case TCommandFile::Restore: return Succeeded(RunKeyFileCommand(*sentrel, target, false));
        case TCommandFile::None: break;
      }
      return FS_EXEC_YOURSELF;
    case ELT_DIRECTORY:
      return FS_EXEC_OK;
  }
  return FS_EXEC_ERROR;
}

std::int32_t TPlugin::ExecuteFile(const KS_WCHAR* RemoteName, const KS_WCHAR* Verb) {
  try {
    const std::u16string path = FromHost(RemoteName);
    if (SameName(FromHost(Verb), u"properties")) {
      if (path == u"\\") ShowInfoForm();
      return FS_EXEC_OK;
    }
    // Every other verb opens the entry.
    return Open(path);
  } catch (const EKestrowError& e) {
    // What the commands raise is a write the registry refused after the key opened: the user
    // hears of it as of any other failed write, with the registry's own reason in the box.
    ReportWriteError(*this, e.Message());
    return FS_EXEC_ERROR;
  }
}

}  // namespace kestrow

// The start-up script's run: the step of a rebuild that reads "startup.kscr" from the plugin's
// folder and runs it into the tree being built through the script engine.
#pragma once

#include <atomic>
#include <string>

#include "model/item_tree.h"
#include "model/settings.h"
#include "model/user_messages.h"
#include "platform/shared_value.h"

namespace kestrow::script {

class TStartupScript {
 public:
  // The plugin's folder ending in a backslash (empty when it is not known), where the script and
  // the engine lie, and the settings the script's routines change.
  TStartupScript(std::u16string pluginFolder, platform::TShared<TSettings>& settings)
      : folder_(std::move(pluginFolder)), settings_(settings) {}

  // Runs the start-up script, which may add types and values; its reports go to the user given.
  void BuildTemplateMemory(TItemTree& tree, TUserMessages& user);
  // Runs the start-up script into the tree; false (after telling the user) when it did not run
  // to its end.
  bool ExecuteScript(const std::u16string& FileName, TItemTree& tree, TUserMessages& user);

 private:
  const std::u16string folder_;
  platform::TShared<TSettings>& settings_;
  // The user has been told that the plugin folder is not known.
  std::atomic<bool> folderReported_{false};
};

}  // namespace kestrow::script

// Walking the drive's tree as the file managers do: one directory at a time, or with a
// subdirectory's search run while its parent's is still open, copying each file out as it is
// found.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/plugin_under_test.h"

namespace kestrow::test {

// What a walk saw: each directory with its entries in listed order, the files found and copied.
struct Walked {
  std::map<std::u16string, std::vector<Entry>> dirs;
  std::size_t files = 0;   // entries that are no directory (and not the "." of an empty one)
  std::size_t copied = 0;  // of them, copied out into a new local file (a ".SAVE" of a missing key
                           // gives FS_FILE_NOTFOUND and no file)
  std::map<std::u16string, std::u16string> copies;  // remote path to local file
  std::vector<std::string> problems;
};

// The path of an entry of a directory.
std::u16string Join(const std::u16string& dir, const std::u16string& name);
// The name a find-data record holds.
std::u16string NameOf(const KsFindDataW& fd);

// Each directory listed to its end and its search closed before its subdirectories are listed.
Walked WalkFlat(const std::u16string& dir);
// Each subdirectory walked while the search of its parent stays open; with a local folder, each
// file is copied out into a new file of it as it is found (FsGetFileW without flags).
Walked WalkNested(const std::u16string& dir, const std::u16string& localFolder);

}  // namespace kestrow::test

#include "support/walks.h"

#include "platform/text.h"

namespace kestrow::test {

namespace {

bool IsFile(const Entry& e) { return !e.directory; }

void Flat(const std::u16string& dir, Walked& w) {
  bool ok = false;
  const auto entries = List(dir, &ok);
  if (!ok) w.problems.push_back("not listed: " + ToUtf8(dir));
  w.dirs[dir] = entries;
  for (const auto& e : entries) {
    if (IsFile(e)) ++w.files;
    if (e.directory && e.name != u".") Flat(Join(dir, e.name), w);
  }
}

void CopyOut(const std::u16string& remote, const std::u16string& folder, Walked& w) {
  const std::u16string local = folder + u"f" + FromUtf8(std::to_string(w.files)) + u".txt";
  auto r = W(remote), l = W(local);
  const std::int32_t result = Exports().FsGetFileW(r.data(), l.data(), 0, nullptr);
  // ".SAVE" saves the type's key, which cannot be saved where it does not exist.
  const bool save = remote.size() >= 6 && remote.compare(remote.size() - 6, 6, u"\\.SAVE") == 0;
  if (save && result == FS_FILE_NOTFOUND && !ReadLocal(local)) {
    ++w.copied;
    return;
  }
  const auto bytes = ReadLocal(local);
  if (result != FS_FILE_OK || !bytes || bytes->empty()) {
    w.problems.push_back("not copied out: " + ToUtf8(remote) + " (" + std::to_string(result) + ")");
    return;
  }
  ++w.copied;
  w.copies[remote] = local;
}

void Nested(const std::u16string& dir, const std::u16string& folder, Walked& w) {
  if (w.dirs.count(dir)) {
    w.problems.push_back("reached twice: " + ToUtf8(dir));
    return;
  }
  std::vector<Entry>& entries = w.dirs[dir];
  KsFindDataW fd;
  auto p = W(dir);
  KS_HANDLE h = Exports().FsFindFirstW(p.data(), &fd);
  if (h == KsInvalidHandle()) {
    w.problems.push_back("not listed: " + ToUtf8(dir));
    return;
  }
  do {
    const Entry e{NameOf(fd), (fd.dwFileAttributes & KS_FILE_ATTRIBUTE_DIRECTORY) != 0, fd.dwFileAttributes};
    entries.push_back(e);
    if (IsFile(e)) {
      ++w.files;
      if (!folder.empty()) CopyOut(Join(dir, e.name), folder, w);
    } else if (e.name != u".") {
      Nested(Join(dir, e.name), folder, w);
    }
  } while (Exports().FsFindNextW(h, &fd));
  Exports().FsFindClose(h);
}

}  // namespace

std::u16string Join(const std::u16string& dir, const std::u16string& name) {
  return dir == u"\\" ? dir + name : dir + u"\\" + name;
}

std::u16string NameOf(const KsFindDataW& fd) { return FromHost(fd.cFileName, KS_MAX_PATH); }

Walked WalkFlat(const std::u16string& dir) {
  Walked w;
  Flat(dir, w);
  return w;
}

Walked WalkNested(const std::u16string& dir, const std::u16string& localFolder) {
  Walked w;
  Nested(dir, localFolder, w);
  return w;
}

}  // namespace kestrow::test

#include "support/planted_values.h"

#include "model/type_registry.h"
#include "registry/registry_ex.h"

namespace kestrow::test {

bool DeleteValue(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name) {
  return Reg::DeleteValue(root, view, path, name);
}

void Planted::CreateKeys(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
  // The topmost missing key is recorded: deleting it removes exactly what was made.
  for (std::size_t end = path.find(u'\\');; end = path.find(u'\\', end + 1)) {
    const std::u16string part = path.substr(0, end);
    if (!Reg::KeyExists(root, view, part)) {
      Reg::CreateKey(root, view, path);
      changes_.push_back({root, view, part, true, u"", std::nullopt});
      return;
    }
    if (end == std::u16string::npos) return;
  }
}

void Planted::Key(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) { CreateKeys(root, view, path); }

void Planted::Value(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                    std::uint32_t type, const std::vector<std::uint8_t>& data) {
  CreateKeys(root, view, path);
  changes_.push_back({root, view, path, false, name, Reg::Get(root, view, path, name)});
  Reg::Set(root, view, path, name, type, data);
}

void Planted::Text(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                   const std::u16string& text, std::uint32_t type) {
  Value(root, view, path, name, type, Reg::Utf16Bytes(text));
}

void Planted::Dword(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                    std::uint32_t value) {
  Value(root, view, path, name, REG_DWORD_,
        {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)});
}

void Planted::Undo() {
  for (auto it = changes_.rbegin(); it != changes_.rend(); ++it) {
    if (it->key) {
      Reg::DeleteKey(it->root, it->view, it->path);
    } else if (it->previous) {
      Reg::Set(it->root, it->view, it->path, it->name, it->previous->type, it->previous->data);
    } else {
      DeleteValue(it->root, it->view, it->path, it->name);
    }
  }
  changes_.clear();
}

}  // namespace kestrow::test

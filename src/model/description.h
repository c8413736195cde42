// The text that describes a node: its value text and the copy-out description file.
#pragma once

#include "model/mem_item.h"

namespace kestrow {

// The comma text of the node's value as lines: each string preceded by CR LF.
std::u16string MultiSzToText(const TMemItem& node);
// What the user sees for the node's value ("<NULL>" for a missing one).
std::u16string ValueText(const TMemItem& node);
// The eight lines of the description, each ended by CR LF.
std::u16string DescriptionText(const TMemItem& node);
bool FileCreatable(const std::u16string& fileName);

}  // namespace kestrow

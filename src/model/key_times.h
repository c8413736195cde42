// The dates of the type directories.
#pragma once

#include "model/item_tree.h"

namespace kestrow {

// Dates every type directory of the tree being built with the last-write time of its location's
// key: the rebuild's step after the scans and the start-up script.
void DateTypeDirectories(TItemTree& tree);

}  // namespace kestrow

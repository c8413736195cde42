#include "model/sentrel.h"

namespace kestrow {

void TSentrel::BuildTemplateMemory() {
  if (AfterTemplate) AfterTemplate(*this);
}

}  // namespace kestrow

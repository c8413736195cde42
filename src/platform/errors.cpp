#include "platform/errors.h"

#include "platform/text.h"

namespace kestrow {
EKestrowError::EKestrowError(std::u16string message) : message_(std::move(message)), utf8_(ToUtf8(message_)) {}
}  // namespace kestrow

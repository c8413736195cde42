// A raised error that carries the message text the user may see.
#pragma once

#include <exception>
#include <string>

namespace kestrow {

class EKestrowError : public std::exception {
 public:
  explicit EKestrowError(std::u16string message);
  const std::u16string& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::u16string message_;
  std::string utf8_;
};

}  // namespace kestrow

// The value a node holds: Null (missing), nothing, a signed 32-bit integer or a text.
#pragma once

#include <cstdint>
#include <string>

namespace kestrow {

class TValue {
 public:
  enum class Kind : std::uint8_t { Nothing, Null, Integer, Text };

  TValue() = default;
  static TValue Null() { return TValue(Kind::Null); }
  static TValue Integer(std::int32_t v) {
    TValue r(Kind::Integer);
    r.int_ = v;
    return r;
  }
  static TValue Text(std::u16string s) {
    TValue r(Kind::Text);
    r.text_ = std::move(s);
    return r;
  }

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }
  bool IsNothing() const { return kind_ == Kind::Nothing; }
  bool IsInteger() const { return kind_ == Kind::Integer; }
  bool IsText() const { return kind_ == Kind::Text; }
  std::int32_t AsInteger() const { return int_; }
  const std::u16string& AsText() const { return text_; }

  bool operator==(const TValue& o) const {
    return kind_ == o.kind_ && int_ == o.int_ && text_ == o.text_;
  }
  bool operator!=(const TValue& o) const { return !(*this == o); }

 private:
  explicit TValue(Kind k) : kind_(k) {}
  Kind kind_ = Kind::Nothing;
  std::int32_t int_ = 0;
  std::u16string text_;
};

// The text form of a value, as it is shown and as it is written: an integer in decimal, a text as
// itself, nothing as the empty text.
inline std::u16string ValueToText(const TValue& v) {
  if (v.IsInteger()) {
    const std::string s = std::to_string(v.AsInteger());
    return std::u16string(s.begin(), s.end());
  }
  if (v.IsText()) return v.AsText();
  return std::u16string();
}

}  // namespace kestrow

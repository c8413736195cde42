// What an autostart entry starts: the file or files Windows would start from the entry's value,
// worked out by the rules of the program that reads the value, each with whether it is there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/targets/location_kind.h"
#include "model/targets/target_lookup.h"

namespace kestrow {

// An entry's value as stored: not expanded; a multi-string as its list.
struct StoredValue {
  enum class Form : std::uint8_t { None, String, ExpandString, MultiString, Integer };
  Form form = Form::None;
  std::u16string text;               // String and ExpandString
  std::vector<std::u16string> list;  // MultiString

  static StoredValue String(std::u16string t) { return {Form::String, std::move(t), {}}; }
  static StoredValue ExpandString(std::u16string t) { return {Form::ExpandString, std::move(t), {}}; }
  static StoredValue MultiString(std::vector<std::u16string> l) { return {Form::MultiString, {}, std::move(l)}; }
  static StoredValue Integer() { return {Form::Integer, {}, {}}; }
};

struct TargetRequest {
  LocationKind kind = LocationKind::Other;
  StoredValue value;
  RegView view = RegView::Bits64;  // the registry view the entry is read in
  std::u16string serviceKey;       // for a service: its key under HKLM ("\SYSTEM\...\Services\name")
};

enum class TargetState : std::uint8_t { Found, Missing };

struct Target {
  std::u16string path;  // a full path, or the bare name when it was found nowhere
  TargetState state = TargetState::Missing;
  bool operator==(const Target& other) const { return path == other.path && state == other.state; }
};

// The files the entry starts, in the order the value names them, each once. Empty when the
// value names no file: a number, an empty text, a list of nothing.
std::vector<Target> ResolveTargets(const TargetRequest& request, const TargetLookup& lookup);

}  // namespace kestrow

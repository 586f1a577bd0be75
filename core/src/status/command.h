// The status value a response carries (CommandObject: a boolean, a number, a text or bytes),
// a borrowed view of it for the wire, its normal form and its text form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "common/bytes.h"

namespace zq {

// The variant numbers, which are also the command kind of the response header.
enum class CommandKind : std::uint8_t { Bool = 0, Int = 1, Str = 2, Bytes = 3 };

// A command whose text or bytes are borrowed.
struct CommandView {
  CommandKind kind = CommandKind::Bool;
  bool flag = false;         // Bool
  std::uint64_t number = 0;  // Int
  ByteView bytes;            // Str (UTF-8) and Bytes

  static CommandView boolean(bool b) { return {CommandKind::Bool, b, 0, {}}; }
  static CommandView integer(std::uint64_t n) { return {CommandKind::Int, false, n, {}}; }
  static CommandView text(std::string_view s) { return {CommandKind::Str, false, 0, as_bytes(s)}; }
  static CommandView binary(ByteView b) { return {CommandKind::Bytes, false, 0, b}; }

  // Compares the content of the kind only.
  friend bool operator==(const CommandView& a, const CommandView& b);
};

// An owned command; copies are deep. The alternatives are in variant-number order.
class CommandObject {
 public:
  using Storage = std::variant<bool, std::uint64_t, std::string, Bytes>;

  CommandObject() = default;
  explicit CommandObject(Storage value) : value_(std::move(value)) {}
  static CommandObject boolean(bool b) { return CommandObject(Storage(std::in_place_index<0>, b)); }
  static CommandObject integer(std::uint64_t n) { return CommandObject(Storage(std::in_place_index<1>, n)); }
  static CommandObject text(std::string s) { return CommandObject(Storage(std::in_place_index<2>, std::move(s))); }
  static CommandObject binary(Bytes b) { return CommandObject(Storage(std::in_place_index<3>, std::move(b))); }
  // A copy of the viewed command.
  static CommandObject from_view(const CommandView& view);

  CommandKind kind() const { return static_cast<CommandKind>(value_.index()); }
  bool as_bool() const { return std::get<0>(value_); }
  std::uint64_t as_int() const { return std::get<1>(value_); }
  const std::string& as_str() const { return std::get<2>(value_); }
  const Bytes& as_bytes() const { return std::get<3>(value_); }

  CommandView view() const;

  friend bool operator==(const CommandObject&, const CommandObject&) = default;

 private:
  Storage value_{std::in_place_index<0>, false};
};

// A copy in which the Str "ok" (exactly those two lower-case bytes) is Bool true.
CommandObject normalize_command(const CommandObject& command);
// The view of that copy, borrowed from `command` without making it.
CommandView normal_view(const CommandObject& command);

// The text form: Bool true and Int 200 are "ok", Bool false "zq:error:false", another Int
// "zq:error:{n}", a Str itself, Bytes decoded as UTF-8 with U+FFFD for what is ill-formed.
std::string format_command(const CommandObject& command);

// Whether the command means success: Bool true; Int 200; a Str "ok", one of three bytes or more
// ending ":ok", or one of four bytes or more ending ":200"; non-empty Bytes.
bool command_succeeded(const CommandObject& command);

}  // namespace zq

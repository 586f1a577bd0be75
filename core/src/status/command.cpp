// The status value: views, normal form, text form and the success rule.
#include "status/command.h"

#include <charconv>

#include "common/utf8.h"

namespace zq {

bool operator==(const CommandView& a, const CommandView& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case CommandKind::Bool: return a.flag == b.flag;
    case CommandKind::Int: return a.number == b.number;
    default: return as_text(a.bytes) == as_text(b.bytes);
  }
}

CommandObject CommandObject::from_view(const CommandView& view) {
  switch (view.kind) {
    case CommandKind::Bool: return boolean(view.flag);
    case CommandKind::Int: return integer(view.number);
    case CommandKind::Str: return text(std::string(as_text(view.bytes)));
    default: return binary(Bytes(view.bytes.data(), view.bytes.size()));
  }
}

CommandView CommandObject::view() const {
  switch (kind()) {
    case CommandKind::Bool: return CommandView::boolean(as_bool());
    case CommandKind::Int: return CommandView::integer(as_int());
    case CommandKind::Str: return CommandView::text(as_str());
    default: return CommandView::binary(as_bytes());
  }
}

CommandView normal_view(const CommandObject& command) {
  if (command.kind() == CommandKind::Str && command.as_str() == "ok") return CommandView::boolean(true);
  return command.view();
}

CommandObject normalize_command(const CommandObject& command) { return CommandObject::from_view(normal_view(command)); }

std::string format_command(const CommandObject& command) {
  switch (command.kind()) {
    case CommandKind::Bool: return command.as_bool() ? "ok" : "zq:error:false";
    case CommandKind::Int: {
      if (command.as_int() == 200) return "ok";
      char digits[20];
      const auto end = std::to_chars(digits, digits + sizeof digits, command.as_int()).ptr;
      return "zq:error:" + std::string(digits, end);
    }
    case CommandKind::Str: return command.as_str();
    default: return lossy_utf8(as_text(command.as_bytes()));
  }
}

bool command_succeeded(const CommandObject& command) {
  switch (command.kind()) {
    case CommandKind::Bool: return command.as_bool();
    case CommandKind::Int: return command.as_int() == 200;
    case CommandKind::Str: {
      const std::string_view s = command.as_str();
      return s == "ok" || s.ends_with(":ok") || s.ends_with(":200");
    }
    default: return !command.as_bytes().empty();
  }
}

}  // namespace zq

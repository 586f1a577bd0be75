// The status value and the status registry: every registry entry as published (codes that break
// their neighbours' pattern included), the path test's exact-entry and entries-below rules,
// the normal form, the text form and the success rule.
#include "status/status_registry.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>
#include <vector>

#include "status/command.h"

namespace zq {
namespace {

// The published table, path segments joined with "/" and the code true written as "true".
constexpr const char* kPublished[][2] = {
    {"ok", "true"},
    {"Rejected", "zq:app:402"},
    {"NoResponse", "zq:transport:0"},
    {"UnprocessableEntity", "zq:app:422"},
    {"BadRequest", "zq:app:400"},
    {"Forbidden", "zq:app:403"},
    {"Unauthorized", "zq:app:401"},
    {"NotFound", "zq:app:404"},
    {"InternalServerError", "zq:app:500"},
    {"NotImplemented", "zq:app:501"},
    {"ServiceUnavailable", "zq:app:503"},
    {"transport/NoResponse", "zq:transport:0"},
    {"transport/NetworkUnreachable", "zq:transport:1"},
    {"transport/HostUnreachable", "zq:transport:2"},
    {"transport/PortUnreachable", "zq:transport:3"},
    {"transport/SendTimeout", "zq:transport:4"},
    {"transport/ReceiveTimeout", "zq:transport:5"},
    {"transport/SocketClosed", "zq:transport:6"},
    {"transport/AddressInvalid", "zq:transport:7"},
    {"transport/AddressNotAvailable", "zq:transport:8"},
    {"transport/ConnectionIdMismatch", "zq:transport:9"},
    {"transport/QuicInitialLost", "zq:transport:10"},
    {"transport/QuicHandshakeTimeout", "zq:transport:11"},
    {"transport/QuicVersionMismatch", "zq:transport:12"},
    {"transport/QuicFrameInvalid", "zq:transport:13"},
    {"transport/PacketDropped", "zq:transport:14"},
    {"transport/TransportProtocolError", "zq:transport:15"},
    {"transport/ConnectionError", "zq:transport:16"},
    {"transport/PolicyDenied", "zq:transport:17"},
    {"transport/KeyIdNotFound", "zq:transport:18"},
    {"transport/KeyDomainNotFound", "zq:transport:19"},
    {"transport/EncryptionKeySynchronization", "zq:transport:20"},
    {"transport/UnsupportedKeyType", "zq:transport:21"},
    {"app/UnprocessableEntity", "zq:app:422"},
    {"app/BadRequest", "zq:app:400"},
    {"app/Rejected", "zq:app:402"},
    {"app/Unauthorized", "zq:app:401"},
    {"app/Forbidden", "zq:app:403"},
    {"app/NotFound", "zq:app:404"},
    {"app/PathNotFound", "zq:app:407"},
    {"app/MethodNotAllowed", "zq:app:405"},
    {"app/InternalServerError", "zq:app:500"},
    {"app/NotImplemented", "zq:app:501"},
    {"app/ServiceUnavailable", "zq:app:503"},
    {"dns/DomainAccessDenied", "zq:dns:601"},
    {"dns/InvalidVerificationAlgorithm", "zq:dns:602"},
    {"dns/DomainBlocked", "zq:dns:605"},
    {"dns/DomainNotFound", "zq:dns:606"},
    {"cors/OriginNotAllowed", "zq:cors:701"},
    {"cors/MethodNotAllowed", "zq:cors:702"},
    {"cors/ClientTypeNotAllowed", "zq:cors:703"},
    {"cors/ObjectTypeNotAllowed", "zq:cors:708"},
    {"cors/TransportProtocolNotAllowed", "zq:cors:704"},
    {"cors/RouteProtocolNotAllowed", "zq:cors:705"},
    {"cors/RequestProtocolNotAllowed", "zq:cors:706"},
    {"cors/DifferentEncryptionType", "zq:cors:707"},
    {"kdc/DecryptRequestFailed", "zq:kdc:891"},
    {"kdc/DecryptResponseFailed", "zq:kdc:892"},
    {"kdc/SignatureVerificationFailed", "zq:kdc:893"},
    {"kdc/DomainVerificationFailed", "zq:kdc:894"},
    {"kdc/InvalidRequestFormat", "zq:kdc:895"},
    {"kdc/InvalidResponseFormat", "zq:kdc:896"},
    {"kdc/ServerSessionKeyMissing", "zq:kdc:897"},
    {"kdc/ServerSessionKeySignatureFailed", "zq:kdc:898"},
    {"zq/UnknownError", "zq:zq:unk"},
    {"zq/Types", "zq:zq:tps"},
    {"zq/Types/DomainNotFound", "zq:zq:tps:dnf"},
    {"zq/Types/RegionIsIsolated", "zq:zq:tps:rii"},
    {"zq/availability/UserShield", "zq:zq:avl:us"},
    {"zq/availability/Nexus", "zq:zq:avl:nex"},
    {"zq/availability/Nexus/NexusApi", "zq:zq:avl:nex:api"},
    {"zq/availability/Nexus/NexusApi/TransportError", "zq:zq:avl:nex:api:transport_error"},
    {"zq/availability/Nexus/NexusDomain", "zq:zq:avl:nex:domain"},
    {"zq/availability/Nexus/NexusDomain/TransportError", "zq:zq:avl:nex:domain:transport_error"},
    {"zq/availability/OriginShield", "zq:zq:avl:os"},
    {"zq/availability/OriginShield/OriginShieldApi", "zq:zq:avl:os:api"},
    {"zq/availability/Core", "zq:zq:avl:core"},
    {"zq/availability/Core/CoreApi", "zq:zq:avl:core:dnscore"},
    {"zq/availability/RGate", "zq:zq:avl:rgate"},
    {"zq/availability/RGate/TransportError", "zq:zq:avl:rgate:transport_error"},
    {"zq/layer/UserShield", "zq:zq:avl:us"},
    {"zq/layer/Nexus", "zq:zq:lyr:nex"},
    {"zq/layer/Nexus/NexusApi", "zq:zq:lyr:nex:api"},
    {"zq/layer/Nexus/NexusDomain", "zq:zq:lyr:nex:domain"},
    {"zq/layer/Nexus/NexusDomain/DomainNotFound", "zq:zq:lyr:nex:domain:dnf"},
    {"zq/layer/OriginShield", "zq:zq:lyr:os"},
    {"zq/layer/OriginShield/OriginShieldApi", "zq:zq:lyr:os:api"},
    {"zq/layer/Core", "zq:zq:lyr:core"},
    {"zq/layer/Core/CoreApi", "zq:zq:lyr:core:api"},
    {"zq/layer/Core/DomainNotFound", "zq:zq:lyr:core:dnf"},
    {"zq/layer/RGate", "zq:zq:lyr:rgate"},
    {"zq/layer/RGate/Unknown", "zq:zq:lyr:rgate:unk"},
    {"zq/layer/RGate/RegionIsIsolated", "zq:zq:lyr:rgate:rii"},
};

std::string joined(std::span<const std::string_view> path) {
  std::string s;
  for (std::string_view segment : path) {
    if (!s.empty()) s += '/';
    s.append(segment);
  }
  return s;
}

TEST(StatusRegistryTest, EntriesAsPublished) {
  const auto registry = status_registry();
  ASSERT_EQ(registry.size(), 93u);
  ASSERT_EQ(std::size(kPublished), 93u);
  std::set<std::string> paths;
  for (std::size_t i = 0; i < registry.size(); ++i) {
    SCOPED_TRACE(kPublished[i][0]);
    const StatusRegistryEntry& entry = registry[i];
    EXPECT_EQ(joined(entry.path()), kPublished[i][0]);
    EXPECT_EQ(entry.code_is_true ? "true" : std::string(entry.code), kPublished[i][1]);
    EXPECT_TRUE(paths.insert(joined(entry.path())).second) << "duplicate path";
  }
}

TEST(StatusRegistryTest, CodesThatBreakThePattern) {
  const auto code_at = [](std::vector<std::string_view> path) -> std::string {
    for (const StatusRegistryEntry& entry : status_registry()) {
      if (std::ranges::equal(entry.path(), path)) return std::string(entry.code);
    }
    return "missing";
  };
  EXPECT_EQ(code_at({"zq", "availability", "Core", "CoreApi"}), "zq:zq:avl:core:dnscore");
  EXPECT_EQ(code_at({"zq", "layer", "UserShield"}), "zq:zq:avl:us");
  EXPECT_EQ(code_at({"cors", "ObjectTypeNotAllowed"}), "zq:cors:708");
  EXPECT_EQ(code_at({"app", "PathNotFound"}), "zq:app:407");
  EXPECT_EQ(code_at({"NoResponse"}), "zq:transport:0");
}

CommandObject str(std::string s) { return CommandObject::text(std::move(s)); }

TEST(StatusRegistryTest, PathTest) {
  using Path = std::vector<std::string_view>;
  const struct {
    const char* name;
    CommandObject command;
    Path path;
    bool matches;
  } cases[] = {
      {"exact entry", str("zq:transport:5"), {"transport", "ReceiveTimeout"}, true},
      {"entry below", str("zq:transport:5"), {"transport"}, true},
      {"empty path", str("zq:transport:5"), {}, true},
      {"another exact entry decides", str("zq:transport:5"), {"transport", "SendTimeout"}, false},
      {"exact entry decides over one below", str("zq:zq:tps:dnf"), {"zq", "Types"}, false},
      {"below the zq group", str("zq:zq:tps:dnf"), {"zq"}, true},
      {"top-level alias", str("zq:app:404"), {"NotFound"}, true},
      {"app entry", str("zq:app:404"), {"app", "NotFound"}, true},
      {"unknown segment under app", str("zq:app:404"), {"app", "Nothing"}, false},
      {"layer holds the availability code", str("zq:zq:avl:us"), {"zq", "layer"}, true},
      {"deepest entry", str("zq:zq:avl:nex:api:transport_error"),
       {"zq", "availability", "Nexus", "NexusApi", "TransportError"}, true},
      {"six segments", str("zq:zq:avl:nex:api:transport_error"),
       {"zq", "availability", "Nexus", "NexusApi", "TransportError", "x"}, false},
      {"kdc group", str("zq:kdc:897"), {"kdc"}, true},
      {"Bool true is ok", CommandObject::boolean(true), {"ok"}, true},
      {"Int 1 is ok", CommandObject::integer(1), {"ok"}, true},
      {"Int 200 is not ok", CommandObject::integer(200), {"ok"}, false},
      {"Str ok is not ok", str("ok"), {"ok"}, false},
      {"Bool true under the empty path", CommandObject::boolean(true), {}, true},
      {"Bool false nowhere", CommandObject::boolean(false), {}, false},
      {"Int 1 is no text code", CommandObject::integer(1), {"transport"}, false},
      {"Bytes of a code", CommandObject::binary(Bytes(reinterpret_cast<const std::uint8_t*>("zq:app:404"), 10)),
       {"NotFound"}, false},
      {"Bytes under the empty path", CommandObject::binary(Bytes{0x01}), {}, false},
      {"segments are case-sensitive", str("zq:transport:5"), {"Transport"}, false},
      {"codes are case-sensitive", str("ZQ:TRANSPORT:5"), {"transport"}, false},
      {"empty segment", str("zq:transport:5"), {"transport", ""}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(status_matches_path(c.command, c.path), c.matches);
    // The owned-text overload gives the same answer.
    const std::vector<std::string> owned(c.path.begin(), c.path.end());
    EXPECT_EQ(status_matches_path(c.command, owned), c.matches);
  }
}

TEST(StatusRegistryTest, EveryEntryMatchesItsOwnCode) {
  for (const StatusRegistryEntry& entry : status_registry()) {
    SCOPED_TRACE(joined(entry.path()));
    const CommandObject code = entry.code_is_true ? CommandObject::boolean(true) : str(std::string(entry.code));
    EXPECT_TRUE(status_matches_path(code, entry.path()));
    EXPECT_TRUE(status_matches_path(code, entry.path().first(1)));
  }
}

TEST(CommandTest, TextForm) {
  const struct {
    CommandObject command;
    std::string text;
  } cases[] = {
      {CommandObject::boolean(true), "ok"},
      {CommandObject::boolean(false), "zq:error:false"},
      {CommandObject::integer(200), "ok"},
      {CommandObject::integer(0), "zq:error:0"},
      {CommandObject::integer(201), "zq:error:201"},
      {CommandObject::integer(std::numeric_limits<std::uint64_t>::max()), "zq:error:18446744073709551615"},
      {str("zq:app:404"), "zq:app:404"},
      {str(""), ""},
      {CommandObject::binary(Bytes{0xff, 0x6f, 0x6b}), "\xef\xbf\xbdok"},
      {CommandObject::binary(Bytes{}), ""},
      {CommandObject::binary(Bytes{0x6f, 0x6b}), "ok"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(format_command(c.command), c.text);
  }
}

TEST(CommandTest, NormalFormTurnsOnlyTheTextOkIntoTrue) {
  EXPECT_EQ(normalize_command(str("ok")), CommandObject::boolean(true));
  for (const CommandObject& unchanged : {str("OK"), str("ok "), str(" ok"), CommandObject::integer(200),
                                         CommandObject::boolean(false),
                                         CommandObject::binary(Bytes{0x6f, 0x6b})}) {
    EXPECT_EQ(normalize_command(unchanged), unchanged);
  }
}

TEST(CommandTest, SuccessRule) {
  const struct {
    const char* name;
    CommandObject command;
    bool succeeded;
  } cases[] = {
      {"true", CommandObject::boolean(true), true},
      {"false", CommandObject::boolean(false), false},
      {"200", CommandObject::integer(200), true},
      {"201", CommandObject::integer(201), false},
      {"1", CommandObject::integer(1), false},
      {"ok", str("ok"), true},
      {"OK", str("OK"), false},
      {":ok", str(":ok"), true},
      {"x:ok", str("zq:ok"), true},
      {"ok without colon", str("xok"), false},
      {"200 without colon", str("200"), false},
      {":200", str(":200"), true},
      {"zq:error:200", str("zq:error:200"), true},
      {"empty str", str(""), false},
      {"empty bytes", CommandObject::binary(Bytes{}), false},
      {"one byte", CommandObject::binary(Bytes{0xff}), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(command_succeeded(c.command), c.succeeded);
  }
}

TEST(CommandTest, ViewsRoundTrip) {
  for (const CommandObject& command : {CommandObject::boolean(true), CommandObject::integer(7), str("zq:app:404"),
                                       CommandObject::binary(Bytes{0, 1, 2})}) {
    const CommandView view = command.view();
    EXPECT_EQ(static_cast<int>(view.kind), static_cast<int>(command.kind()));
    EXPECT_EQ(CommandObject::from_view(view), command);
  }
  EXPECT_FALSE(CommandView::text("a") == CommandView::binary(as_bytes("a")));
}

}  // namespace
}  // namespace zq

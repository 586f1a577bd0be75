// The 93 registry entries as one literal table (their codes are irregular and are kept exactly
// as published), and the path test over it.
#include "status/status_registry.h"

#include <array>
#include <cstdint>

namespace zq {

namespace {

using Entry = StatusRegistryEntry;

constexpr Entry kStatusRegistry[] = {
    {{"ok"}, {}, true},
    {{"Rejected"}, "zq:app:402"},
    {{"NoResponse"}, "zq:transport:0"},
    {{"UnprocessableEntity"}, "zq:app:422"},
    {{"BadRequest"}, "zq:app:400"},
    {{"Forbidden"}, "zq:app:403"},
    {{"Unauthorized"}, "zq:app:401"},
    {{"NotFound"}, "zq:app:404"},
    {{"InternalServerError"}, "zq:app:500"},
    {{"NotImplemented"}, "zq:app:501"},
    {{"ServiceUnavailable"}, "zq:app:503"},
    {{"transport", "NoResponse"}, "zq:transport:0"},
    {{"transport", "NetworkUnreachable"}, "zq:transport:1"},
    {{"transport", "HostUnreachable"}, "zq:transport:2"},
    {{"transport", "PortUnreachable"}, "zq:transport:3"},
    {{"transport", "SendTimeout"}, "zq:transport:4"},
    {{"transport", "ReceiveTimeout"}, "zq:transport:5"},
    {{"transport", "SocketClosed"}, "zq:transport:6"},
    {{"transport", "AddressInvalid"}, "zq:transport:7"},
    {{"transport", "AddressNotAvailable"}, "zq:transport:8"},
    {{"transport", "ConnectionIdMismatch"}, "zq:transport:9"},
    {{"transport", "QuicInitialLost"}, "zq:transport:10"},
    {{"transport", "QuicHandshakeTimeout"}, "zq:transport:11"},
    {{"transport", "QuicVersionMismatch"}, "zq:transport:12"},
    {{"transport", "QuicFrameInvalid"}, "zq:transport:13"},
    {{"transport", "PacketDropped"}, "zq:transport:14"},
    {{"transport", "TransportProtocolError"}, "zq:transport:15"},
    {{"transport", "ConnectionError"}, "zq:transport:16"},
    {{"transport", "PolicyDenied"}, "zq:transport:17"},
    {{"transport", "KeyIdNotFound"}, "zq:transport:18"},
    {{"transport", "KeyDomainNotFound"}, "zq:transport:19"},
    {{"transport", "EncryptionKeySynchronization"}, "zq:transport:20"},
    {{"transport", "UnsupportedKeyType"}, "zq:transport:21"},
    {{"app", "UnprocessableEntity"}, "zq:app:422"},
    {{"app", "BadRequest"}, "zq:app:400"},
    {{"app", "Rejected"}, "zq:app:402"},
    {{"app", "Unauthorized"}, "zq:app:401"},
    {{"app", "Forbidden"}, "zq:app:403"},
    {{"app", "NotFound"}, "zq:app:404"},
    {{"app", "PathNotFound"}, "zq:app:407"},
    {{"app", "MethodNotAllowed"}, "zq:app:405"},
    {{"app", "InternalServerError"}, "zq:app:500"},
    {{"app", "NotImplemented"}, "zq:app:501"},
    {{"app", "ServiceUnavailable"}, "zq:app:503"},
    {{"dns", "DomainAccessDenied"}, "zq:dns:601"},
    {{"dns", "InvalidVerificationAlgorithm"}, "zq:dns:602"},
    {{"dns", "DomainBlocked"}, "zq:dns:605"},
    {{"dns", "DomainNotFound"}, "zq:dns:606"},
    {{"cors", "OriginNotAllowed"}, "zq:cors:701"},
    {{"cors", "MethodNotAllowed"}, "zq:cors:702"},
    {{"cors", "ClientTypeNotAllowed"}, "zq:cors:703"},
    {{"cors", "ObjectTypeNotAllowed"}, "zq:cors:708"},
    {{"cors", "TransportProtocolNotAllowed"}, "zq:cors:704"},
    {{"cors", "RouteProtocolNotAllowed"}, "zq:cors:705"},
    {{"cors", "RequestProtocolNotAllowed"}, "zq:cors:706"},
    {{"cors", "DifferentEncryptionType"}, "zq:cors:707"},
    {{"kdc", "DecryptRequestFailed"}, "zq:kdc:891"},
    {{"kdc", "DecryptResponseFailed"}, "zq:kdc:892"},
    {{"kdc", "SignatureVerificationFailed"}, "zq:kdc:893"},
    {{"kdc", "DomainVerificationFailed"}, "zq:kdc:894"},
    {{"kdc", "InvalidRequestFormat"}, "zq:kdc:895"},
    {{"kdc", "InvalidResponseFormat"}, "zq:kdc:896"},
    {{"kdc", "ServerSessionKeyMissing"}, "zq:kdc:897"},
    {{"kdc", "ServerSessionKeySignatureFailed"}, "zq:kdc:898"},
    {{"zq", "UnknownError"}, "zq:zq:unk"},
    {{"zq", "Types"}, "zq:zq:tps"},
    {{"zq", "Types", "DomainNotFound"}, "zq:zq:tps:dnf"},
    {{"zq", "Types", "RegionIsIsolated"}, "zq:zq:tps:rii"},
    {{"zq", "availability", "UserShield"}, "zq:zq:avl:us"},
    {{"zq", "availability", "Nexus"}, "zq:zq:avl:nex"},
    {{"zq", "availability", "Nexus", "NexusApi"}, "zq:zq:avl:nex:api"},
    {{"zq", "availability", "Nexus", "NexusApi", "TransportError"}, "zq:zq:avl:nex:api:transport_error"},
    {{"zq", "availability", "Nexus", "NexusDomain"}, "zq:zq:avl:nex:domain"},
    {{"zq", "availability", "Nexus", "NexusDomain", "TransportError"}, "zq:zq:avl:nex:domain:transport_error"},
    {{"zq", "availability", "OriginShield"}, "zq:zq:avl:os"},
    {{"zq", "availability", "OriginShield", "OriginShieldApi"}, "zq:zq:avl:os:api"},
    {{"zq", "availability", "Core"}, "zq:zq:avl:core"},
    {{"zq", "availability", "Core", "CoreApi"}, "zq:zq:avl:core:dnscore"},
    {{"zq", "availability", "RGate"}, "zq:zq:avl:rgate"},
    {{"zq", "availability", "RGate", "TransportError"}, "zq:zq:avl:rgate:transport_error"},
    {{"zq", "layer", "UserShield"}, "zq:zq:avl:us"},
    {{"zq", "layer", "Nexus"}, "zq:zq:lyr:nex"},
    {{"zq", "layer", "Nexus", "NexusApi"}, "zq:zq:lyr:nex:api"},
    {{"zq", "layer", "Nexus", "NexusDomain"}, "zq:zq:lyr:nex:domain"},
    {{"zq", "layer", "Nexus", "NexusDomain", "DomainNotFound"}, "zq:zq:lyr:nex:domain:dnf"},
    {{"zq", "layer", "OriginShield"}, "zq:zq:lyr:os"},
    {{"zq", "layer", "OriginShield", "OriginShieldApi"}, "zq:zq:lyr:os:api"},
    {{"zq", "layer", "Core"}, "zq:zq:lyr:core"},
    {{"zq", "layer", "Core", "CoreApi"}, "zq:zq:lyr:core:api"},
    {{"zq", "layer", "Core", "DomainNotFound"}, "zq:zq:lyr:core:dnf"},
    {{"zq", "layer", "RGate"}, "zq:zq:lyr:rgate"},
    {{"zq", "layer", "RGate", "Unknown"}, "zq:zq:lyr:rgate:unk"},
    {{"zq", "layer", "RGate", "RegionIsIsolated"}, "zq:zq:lyr:rgate:rii"},
};
static_assert(std::size(kStatusRegistry) == 93);

// A value equals a code: Bool true and Int 1 equal true, a Str equals the same text.
bool equals_code(const CommandObject& command, const Entry& entry) {
  switch (command.kind()) {
    case CommandKind::Bool: return entry.code_is_true && command.as_bool();
    case CommandKind::Int: return entry.code_is_true && command.as_int() == 1;
    case CommandKind::Str: return !entry.code_is_true && command.as_str() == entry.code;
    default: return false;
  }
}

// Entry depths, counted once at compile time.
constexpr auto kDepths = [] {
  std::array<std::uint8_t, std::size(kStatusRegistry)> depths{};
  for (std::size_t i = 0; i < depths.size(); ++i) depths[i] = static_cast<std::uint8_t>(kStatusRegistry[i].depth());
  return depths;
}();

template <class Segment>
bool matches_path(const CommandObject& command, std::span<const Segment> path) {
  // No entry is deeper than kMaxStatusPathDepth, so a longer path has no entry at or below it.
  if (path.size() > kMaxStatusPathDepth) return false;
  // One pass: paths are unique, so the entry at exactly `path` is met at most once, and it
  // decides alone, even when an entry below it has already matched.
  bool below = false;
  for (std::size_t i = 0; i < std::size(kStatusRegistry); ++i) {
    if (kDepths[i] < path.size()) continue;
    const Entry& entry = kStatusRegistry[i];
    bool prefix = true;
    for (std::size_t k = 0; k < path.size() && prefix; ++k) prefix = std::string_view(path[k]) == entry.segments[k];
    if (!prefix) continue;
    if (kDepths[i] == path.size()) return equals_code(command, entry);
    below = below || equals_code(command, entry);
  }
  return below;
}

}  // namespace

std::span<const StatusRegistryEntry> status_registry() { return kStatusRegistry; }

bool status_matches_path(const CommandObject& command, std::span<const std::string_view> path) {
  return matches_path(command, path);
}

bool status_matches_path(const CommandObject& command, std::span<const std::string> path) {
  return matches_path(command, path);
}

}  // namespace zq

// The payload slot's states and its three operations: decode, encode and unpack.
#include "payload/temp_data_object.h"

#include "serialization/msgpack.h"

namespace zq {

TempDataObject TempDataObject::raw(Bytes bytes) {
  TempDataObject slot;
  slot.state_.emplace<Raw>(Raw{std::move(bytes)});
  return slot;
}

void TempDataObject::assign_raw(ByteView bytes) { state_.emplace<Raw>(Raw{Bytes(bytes.data(), bytes.size())}); }

TempDataObject TempDataObject::decoded(Container container) {
  TempDataObject slot;
  slot.state_.emplace<Decoded>(std::move(container), std::nullopt);
  return slot;
}

const Container* TempDataObject::container() const {
  const auto* decoded = std::get_if<Decoded>(&state_);
  return decoded ? &decoded->container : nullptr;
}

const Bytes* TempDataObject::verbatim() const {
  if (const auto* raw = std::get_if<Raw>(&state_)) return &raw->bytes;
  const auto* decoded = std::get_if<Decoded>(&state_);
  return decoded && decoded->received ? &*decoded->received : nullptr;
}

namespace {

// What a slot made Decoded from `bytes` keeps of them: nothing, unless its encoder refuses
// `container` (see reencodes), whose stored bytes are then written in its place.
std::optional<Bytes> kept_bytes(const Container& container, Bytes& bytes) {
  if (reencodes(container)) return std::nullopt;
  return std::move(bytes);
}

}  // namespace

void TempDataObject::settle(Container&& container) {
  std::optional<Bytes> received = kept_bytes(container, std::get<Raw>(state_).bytes);
  state_.emplace<Decoded>(std::move(container), std::move(received));
}

// The bytes leave the Raw state first, so that the container is decoded where it stays rather
// than moved there; they go back on an error, and on an exception (std::bad_alloc) too.
Status TempDataObject::decode_in_place() {
  Bytes bytes = std::move(std::get_if<Raw>(&state_)->bytes);
  Decoded& decoded = state_.emplace<Decoded>();
  struct RestoreOnExit {
    std::variant<std::monostate, Raw, Decoded>& state;
    Bytes& bytes;
    bool armed = true;
    ~RestoreOnExit() {
      if (armed) state.emplace<Raw>(Raw{std::move(bytes)});
    }
  } restore{state_, bytes};
  ZQ_RETURN_IF_ERROR(decode_container_into(bytes, decoded.container));
  restore.armed = false;
  decoded.received = kept_bytes(decoded.container, bytes);
  return {};
}

// Unpacking settles the slot as a first read does, so that its bytes stay writable too.
Result<TempDataObject> decode_temp_data_object(Bytes bytes, bool unpack_container) {
  TempDataObject slot = TempDataObject::raw(std::move(bytes));
  if (unpack_container) ZQ_RETURN_IF_ERROR(unpack_temp_data_object(slot));
  return slot;
}

Status encode_temp_data_object(const TempDataObject& slot, EncodedPayload& out) {
  if (slot.is_empty()) return {};
  out.present = true;
  if (const Bytes* bytes = slot.verbatim()) {
    out.view = *bytes;
    return {};
  }
  const Container& container = *slot.container();
  const auto* stp = std::get_if<STPContainer>(&container);
  const auto* dmp = std::get_if<DMPContainer>(&container);
  if (!stp && !dmp) {
    ZQ_ASSIGN_OR_RETURN(out.owned, encode_container(container));
    out.view = out.owned;
    return {};
  }
  ScratchOutput& scratch = out.scratch.emplace();
  ZQ_RETURN_IF_ERROR(stp ? encode_stp_to(*stp, scratch) : encode_dmp_to(*dmp, scratch));
  if (scratch.in_one_piece()) {
    out.view = scratch.bytes();
  } else {
    out.owned = Bytes(scratch.size());
    scratch.copy_to(out.owned.data());
    out.view = out.owned;
  }
  return {};
}

Result<const Container*> unpack_temp_data_object(TempDataObject& slot) {
  if (slot.state() == TempDataObject::State::Raw) ZQ_RETURN_IF_ERROR(slot.decode_in_place());
  return slot.container();
}

bool reencodes(const Container& decoded) {
  if (const auto* fat = std::get_if<FATManifestContainer>(&decoded)) return fat->parts_count != 0;
  if (const auto* stp = std::get_if<STPContainer>(&decoded)) return encodable(stp->payload);
  if (const auto* dmp = std::get_if<DMPContainer>(&decoded)) return encodable(dmp->payload);
  return true;
}

}  // namespace zq

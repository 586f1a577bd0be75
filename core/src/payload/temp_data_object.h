// The payload slot: a payload held as received container bytes until its container is first
// asked for (then decoded once, in place), as a container handed over whole, or not at all.
// A plain value: copying a slot copies its bytes or its container.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <variant>

#include "common/bytes.h"
#include "common/result.h"
#include "container/container.h"
#include "serialization/msgpack.h"

namespace zq {

class TempDataObject {
 public:
  enum class State : std::uint8_t { Empty, Raw, Decoded };

  TempDataObject() = default;  // Empty
  static TempDataObject raw(Bytes bytes);
  static TempDataObject decoded(Container container);

  // Makes the slot Raw with a copy of `bytes`, whatever it held.
  void assign_raw(ByteView bytes);

  // Makes the slot Decoded in place and returns its container: an STP container of nil, version
  // 0 and no compression info, for the caller to fill or replace.
  Container& make_decoded() { return state_.emplace<Decoded>().container; }

  State state() const { return static_cast<State>(state_.index()); }
  bool is_empty() const { return state() == State::Empty; }

  // The container of a Decoded slot; nullptr in the other states.
  const Container* container() const;

  // The bytes encoding writes unchanged: a Raw slot's stored bytes, or those a Decoded slot
  // kept from its Raw state because its container does not encode again. nullptr otherwise.
  const Bytes* verbatim() const;

  // Makes a Raw slot Decoded with `container`, decoded from its stored bytes. The bytes are
  // released, unless `container` is one its encoder refuses (see reencodes): they are then
  // kept and written in its place, so that a payload once read stays writable.
  void settle(Container&& container);

  // Makes a Raw slot Decoded with the container its stored bytes decode to, settled as settle()
  // does; the error of decode_container leaves the slot as it was.
  Status decode_in_place();

  friend bool operator==(const TempDataObject&, const TempDataObject&) = default;

 private:
  struct Raw {
    Bytes bytes;
    friend bool operator==(const Raw&, const Raw&) = default;
  };
  struct Decoded {
    Decoded() = default;
    Decoded(Container&& c, std::optional<Bytes>&& r) : container(std::move(c)), received(std::move(r)) {}
    Container container;
    std::optional<Bytes> received;  // set only for a container that does not encode again
    friend bool operator==(const Decoded&, const Decoded&) = default;
  };

  std::variant<std::monostate, Raw, Decoded> state_;
};

// A Raw slot holding `bytes`; with `unpack_container`, that slot unpacked (Decoded), or the
// error of decode_container (and no slot).
Result<TempDataObject> decode_temp_data_object(Bytes bytes, bool unpack_container);

// What a slot encodes to: nothing (Empty), or bytes in one piece that `view` shows, lent by the
// slot (Raw) or made here (Decoded): an STP or DMP container in the calling thread's scratch
// output when it fits there in one piece (see ScratchOutput), every other in `owned`. Valid while
// this and the slot live unchanged.
struct EncodedPayload {
  bool present = false;
  ByteView view;
  Bytes owned;
  std::optional<ScratchOutput> scratch;
};

// Encodes the slot into `out`, a default-constructed EncodedPayload. Empty: nothing. Raw: its
// bytes, unchecked. Decoded: the kind's encoder, or its error (`out` is then to be discarded);
// the slot is never changed.
Status encode_temp_data_object(const TempDataObject& slot, EncodedPayload& out);

// The slot's container, decoding a Raw slot first (at most once: it becomes Decoded); nullptr for
// Empty. A decoding error leaves the slot as it was.
Result<const Container*> unpack_temp_data_object(TempDataObject& slot);

// Whether encode_container succeeds for a record that decode_container made. Decoders accept
// what encoders refuse in three places: a FAT manifest of 0 parts, and STP or DMP values nested
// too deep or holding a timestamp whose nanos exceed 999999999.
bool reencodes(const Container& decoded);

}  // namespace zq

// Fuzzes the payload slot's unpack-then-encode round trip from a Raw slot, with its state
// transitions: a Raw slot writes its bytes unchanged; a failed unpack leaves it Raw with the
// same bytes; a successful one makes it Decoded, decodes at most once, leaves a copy made before
// it Raw, and never makes the payload unwritable. reencodes() must agree with the encoders.
#include <cstdint>

#include "container_checks.h"
#include "fuzz_check.h"
#include "payload/temp_data_object.h"

namespace {

using State = zq::TempDataObject::State;

bool writes(const zq::TempDataObject& slot, zq::ByteView expected) {
  zq::EncodedPayload encoded;
  return zq::encode_temp_data_object(slot, encoded).ok() && encoded.present &&
         zq::as_text(encoded.view) == zq::as_text(expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zq::ByteView input(data, size);
  if (zq::fuzz::body_too_large(input)) return 0;
  zq::TempDataObject slot = zq::TempDataObject::raw(zq::Bytes(data, size));
  ZQ_FUZZ_CHECK(slot.state() == State::Raw);
  ZQ_FUZZ_CHECK(writes(slot, input));
  const zq::TempDataObject before = slot;

  const auto unpacked = zq::unpack_temp_data_object(slot);
  if (!unpacked.ok()) {
    ZQ_FUZZ_CHECK(unpacked.error() == zq::decode_container(input).error());
    ZQ_FUZZ_CHECK(slot == before);
    ZQ_FUZZ_CHECK(writes(slot, input));
    return 0;
  }
  const zq::Container* container = *unpacked;
  ZQ_FUZZ_CHECK(container != nullptr && slot.state() == State::Decoded && slot.container() == container);
  ZQ_FUZZ_CHECK(before.state() == State::Raw && writes(before, input));
  const auto second = zq::unpack_temp_data_object(slot);
  ZQ_FUZZ_CHECK(second.ok() && *second == container);

  const auto fresh = zq::encode_container(*container);
  ZQ_FUZZ_CHECK(fresh.ok() == zq::reencodes(*container));
  if (!fresh.ok()) {
    ZQ_FUZZ_CHECK(zq::fuzz::refusal_expected(*container, fresh.error()));
    ZQ_FUZZ_CHECK(writes(slot, input));  // the received bytes stand in for the container
    ZQ_FUZZ_CHECK(writes(zq::TempDataObject(slot), input));
    return 0;
  }
  ZQ_FUZZ_CHECK(slot.verbatim() == nullptr);
  ZQ_FUZZ_CHECK(writes(slot, *fresh));
  // The encoder's form is a fixed point: it decodes to the same record and encodes to itself.
  zq::TempDataObject again = zq::TempDataObject::raw(*fresh);
  const auto reread = zq::unpack_temp_data_object(again);
  ZQ_FUZZ_CHECK(reread.ok() && zq::fuzz::same_record(**reread, *container));
  ZQ_FUZZ_CHECK(writes(again, *fresh));
  return 0;
}

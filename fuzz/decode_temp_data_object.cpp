// Fuzzes decode_temp_data_object with unpacking: it succeeds exactly when decode_container does,
// with the same error otherwise; the slot it makes is Decoded with that record, and it always
// encodes: into bytes that decode to the same record, or, for a record the encoders refuse, into
// the input unchanged.
#include <cstdint>

#include "container_checks.h"
#include "fuzz_check.h"
#include "payload/temp_data_object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zq::ByteView input(data, size);
  if (zq::fuzz::body_too_large(input)) return 0;
  const auto direct = zq::decode_container(input);
  const auto slot = zq::decode_temp_data_object(zq::Bytes(data, size), true);
  ZQ_FUZZ_CHECK(slot.ok() == direct.ok());
  if (!slot.ok()) {
    ZQ_FUZZ_CHECK(slot.error() == direct.error());
    return 0;
  }
  ZQ_FUZZ_CHECK(slot->state() == zq::TempDataObject::State::Decoded);
  ZQ_FUZZ_CHECK(zq::fuzz::same_record(*slot->container(), *direct));

  zq::EncodedPayload encoded;
  ZQ_FUZZ_CHECK(zq::encode_temp_data_object(*slot, encoded).ok() && encoded.present);
  if (!zq::reencodes(*direct)) {
    ZQ_FUZZ_CHECK(zq::as_text(encoded.view) == zq::as_text(input));
    return 0;
  }
  const auto again = zq::decode_container(encoded.view);
  ZQ_FUZZ_CHECK(again.ok());
  ZQ_FUZZ_CHECK(zq::fuzz::same_record(*again, *direct));
  return 0;
}

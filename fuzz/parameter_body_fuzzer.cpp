// Parameter bodies as the development server reads them: the first byte gives
// the marker count, then a "PARAMETER-TYPES:" value up to a line feed, then
// the body.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_input.h"
#include "server/parameter_body.h"
#include "toolbox/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrion_fuzz::FuzzInput input(data, size);
  const int markers = input.Byte() % 64;
  const std::vector<std::string_view> kinds = kestrion::server::SplitParameterTypes(input.Until('\n'));
  const std::string_view body = input.Rest();
  corvane::VMemoryStream stream(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
  std::vector<corvane::VValue> values;
  std::string error;
  kestrion::server::ReadParameterBody(stream, markers, kinds, values, error);
  return 0;
}

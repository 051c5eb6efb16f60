// The development server's request header parsing and field lookup.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "server/parameter_body.h"
#include "server/request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view header(reinterpret_cast<const char*>(data), size);
  kestrion::server::Request req = kestrion::server::ParseRequest(header);
  for (std::string_view name : {"STATEMENT-BASE64", "STATEMENT-ID", "COMMAND-INDEX", "ROW-COUNT",
                                "FIRST-PAGE-SIZE", "FIRST-ROW-INDEX", "LAST-ROW-INDEX",
                                "USER-NAME-BASE64", "describe-parameters"}) {
    req.Find(name);
    req.FindInt(name);
  }
  if (const auto* types = req.FindField("PARAMETER-TYPES"))
    kestrion::server::SplitParameterTypes(types->raw);
  return 0;
}

// One record of a descriptor.
#pragma once

namespace kestrion {

struct DescriptorRecord {};

}  // namespace kestrion

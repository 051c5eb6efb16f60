// The sample schema of --sample: a small shop with every column kind, keys,
// a view and a few thousand rows, generated deterministically.
#pragma once

#include <sqlite3.h>

namespace kestrion::server {

// Creates and fills the sample tables unless they exist already.
bool LoadSampleSchema(sqlite3* db);

}  // namespace kestrion::server

// The sets of a parameter array against a server with the pipeline
// capability: the EXECUTE-STATEMENT requests of many sets leave in one send
// and their replies are read afterwards, in order, so that the sets cost one
// round trip per window instead of one each.
#pragma once

#include <cstdint>

namespace kestrion {

class CHStatement;
class SetTally;

// Runs sets 0 to `sets` - 1 (the ignored ones left out) and records each
// set's outcome in `tally`: a set whose request cannot be built, or whose
// reply is an error, fails alone; the others still run. When the link is
// lost, or the replies get out of step with the requests, the sets whose
// replies were not read fail with 08S01 or HY000 (they may have run), and
// the sets not yet sent are unused; so are they after SQLCancel.
void ExecutePipelinedSets(CHStatement& statement, std::int64_t sets, SetTally& tally);

}  // namespace kestrion

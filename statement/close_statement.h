// Closing a statement's open result, before every request and on every
// failure.
#pragma once

namespace kestrion {

class CHStatement;

// Closes the open result (CLOSE-STATEMENT when the server gave it an
// identifier) and resets the result state and the reply lists. Answers
// whether a result had been described.
bool CloseStatement(CHStatement& statement);

// Empties the row cache and forgets the SQLGetData position.
void ClearRowCache(CHStatement& statement);

}  // namespace kestrion

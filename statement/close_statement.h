// Closing a statement's open result, before every request and on every
// failure.
#pragma once

namespace kestrion {

class CHStatement;

// Closes the open result (on the server when it has an identifier) and
// resets the result state. Answers whether a result had been described.
bool CloseStatement(CHStatement& statement);

}  // namespace kestrion

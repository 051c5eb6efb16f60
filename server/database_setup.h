// Preparing the database file before clients connect.
#pragma once

#include <string>

namespace kestrion::server {

// Creates a fresh database in a temporary file; returns its path.
bool CreateTemporaryDatabase(std::string& path, std::string& error);
// Removes a database file and its WAL and shared-memory files.
void RemoveDatabaseFiles(const std::string& path);
// Opens the file once: WAL journal, and the sample schema when asked.
bool InitialiseDatabase(const std::string& path, bool sample, std::string& error);

}  // namespace kestrion::server

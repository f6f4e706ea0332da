// Replacing a small file at once, for files other programs read while they
// are rewritten (a batch's report and index page).
#pragma once

#include <string>

// Writes `text` to `name` below `folderFd` whole: a temporary file in the same
// folder renamed into place, so a reader sees the old file or the new one,
// never a part. False with `error` ("<name>: <reason>") set when it could not;
// no temporary file is left then.
bool WriteWholeFile(int folderFd, const std::string& name, const std::string& text, std::string& error);

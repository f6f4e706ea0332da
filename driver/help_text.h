// The text of -h / -help / --help and --version.
#pragma once

#include <string>

// The usage line the tool has always printed, then every option, the outputs
// and the exit statuses.
std::string HelpText();
// "tamberlo <version>\n".
std::string VersionText();

// Whether the run met bad input data or an output it could not write. Such a
// run ends with exit status 2 ("finished with errors") instead of 1.
#pragma once

#include <string_view>

struct FormatError;

void NoteRunError();
bool RunHadErrors();
void ResetRunStatus();

// Logs "<context>: <what the error says>\n" and notes a run error. Every writer
// reports bad data through this one line.
void ReportBadData(std::string_view context, const FormatError& error);

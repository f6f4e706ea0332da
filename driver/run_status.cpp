#include "driver/run_status.h"

#include <string>

#include "driver/log.h"
#include "formats/byte_view.h"

namespace {
bool gRunHadErrors = false;
}

void NoteRunError() { gRunHadErrors = true; }
bool RunHadErrors() { return gRunHadErrors; }
void ResetRunStatus() { gRunHadErrors = false; }

void ReportBadData(std::string_view context, const FormatError& error) {
  std::string text(context);
  LogMessage("Bad data: %s: %s\n", text.c_str(), error.what());
  NoteRunError();
}

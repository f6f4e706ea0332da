#include "formats/conversion.h"

#include <string>

void ReportBadData(Destination& to, std::string_view context, const FormatError& error) {
  std::string text(context);
  LogMessage(to.sink, "Bad data: %s: %s\n", text.c_str(), error.what());
  to.hadErrors = true;
}

bool WriteFileItem(Conversion& conv, OutputFile&& out, ItemWork work) {
  if (conv.items != nullptr) {
    conv.items->Start(std::move(out), std::move(work));
    return true;
  }
  work(conv.to, out);
  return CloseOutputFile(conv.to, out);
}

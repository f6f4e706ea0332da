// Names read from a model file, on their way into outputs and messages.
//
// A name may hold any byte but zero. The bytes below 0x20 (line feed, tab,
// escape, ...), 0x7F and the quote '"' would let a name end a line or a quoted
// string of the build script or an SMD file, add a directive, or steer the
// terminal, so:
//   - in every output file and file name each such byte becomes '_';
//   - in messages (console and streams.log) it is shown as "\xNN" (two upper
//     case hex digits; io/shown_name.h, the rule for file-system names too);
//   - the first time a conversion writes a changed name, it logs
//     "Name changed: "<shown>" -> "<written>"" and notes an error (status 2).
// Every other byte, 0x80 and up included, is written as it is.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "io/destination.h"
#include "io/shown_name.h"
#include "io/output_file.h"

// The name as output files and file names carry it.
std::string WrittenName(std::string_view name);
// Writes WrittenName(name) into the file without building it.
void PutWrittenName(OutputFile& out, std::string_view name);

// The changed names a conversion has reported, so each is reported once.
struct NameChanges {
  std::set<std::string, std::less<>> said;
  bool boneNamesChecked = false;  // the whole bone table was looked at once
};

// Logs the "Name changed" line the first time a name that needs a change is
// noted in the conversion, and sets to.hadNotes (the conversion's exit status
// counts changes.said itself). Call it from the thread that
// walks the conversion, before the first output that carries the name, so the
// lines come in the same order for any number of workers.
void NoteNameChange(Destination& to, NameChanges& changes, std::string_view name);
// NoteNameChange, then the written name.
std::string NotedName(Destination& to, NameChanges& changes, std::string_view name);

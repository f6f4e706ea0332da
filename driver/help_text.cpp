#include "driver/help_text.h"

#include <cstdio>
#include <cstring>

#include "driver/option_table.h"
#include "driver/run_tool.h"
#include "driver/version.h"

namespace {

constexpr size_t kWidth = 79;        // the last column a line may use, on an 80-column screen
constexpr size_t kTextColumn = 26;   // where an option's text starts

// `text` broken at spaces into lines of at most kWidth columns, the first
// after `first`, the others indented to `indent`.
std::string Wrapped(std::string first, const std::string& text, size_t indent) {
  std::string out;
  std::string line = std::move(first);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    at = end + 1;
    const bool lineHasText = line.size() > indent && line.back() != ' ';
    if (lineHasText && line.size() + 1 + word.size() > kWidth) {
      out += line + "\n";
      line = std::string(indent, ' ');
    } else if (lineHasText) {
      line += ' ';
    }
    line += word;
  }
  return out + line + "\n";
}

// "  -o, --out DIR         text", the text wrapped below its column; a label
// too long for its column puts the text on the next line.
std::string OptionEntry(const std::string& label, const std::string& text) {
  std::string first = "  " + label;
  if (first.size() + 1 > kTextColumn) {
    first += "\n";
    return first + Wrapped(std::string(kTextColumn, ' '), text, kTextColumn);
  }
  first.resize(kTextColumn, ' ');
  return Wrapped(first, text, kTextColumn);
}

std::string ConvertLabel(const OptionRow& row) {
  std::string label = row.shortName != 0 ? std::string("-") + row.shortName + ", " : std::string("    ");
  label += std::string("--") + row.longName;
  if (row.convertValue == ValueUse::Required) label += std::string(" ") + row.valueName;
  if (row.convertValue == ValueUse::Joined) label += std::string("[=") + row.valueName + "]";
  return label;
}

std::string FirstVersionLabel(const OptionRow& row) {
  std::string label;
  for (const char* name : row.firstNames) label += (label.empty() ? "" : ", ") + std::string(name);
  // -batch is followed by its PATHs, the options with a value by it.
  if (row.firstTakesValue || row.id == Option::Batch) label += std::string(" ") + row.valueName;
  return label;
}

constexpr char kConvertExitStatus[] =
    "Exit status:\n"
    "  0    every model was converted\n"
    "  1    some model failed, had damaged data or could not be written\n"
    "  64   a wrong command line: nothing was written\n"
    "  128+N  ended by signal N (130: Ctrl-C)\n";

}  // namespace

std::string ShortHelpText() {
  std::string text =
      "Usage: tamberlo convert [OPTION]... PATH...\n"
      "Turns compiled models (NAME.mdl, versions 28 to 37, with NAME.dx80.vtx) back\n"
      "into their sources: dec.qc, SMD mesh and animation files, a .glb, a picture.\n"
      "A PATH is a model (x, x.mdl or x.dx80.vtx) or a folder searched for models.\n"
      "\n";
  for (const OptionRow& row : Options()) {
    if (row.longName != nullptr) text += OptionEntry(ConvertLabel(row), row.summary);
  }
  return text +
         "\n"
         "Exit status: 0 all converted, 1 some model failed or had damaged data,\n"
         "64 wrong command line, 128+N ended by signal N.\n"
         "\n"
         "Every option and default: tamberlo help convert. The first version's\n"
         "-file and -batch: tamberlo help file. The manual: man tamberlo.\n";
}

std::string ConvertHelpText() {
  std::string text =
      "Usage: tamberlo convert [OPTION]... PATH...\n"
      "\n" +
      Wrapped("", "Converts each PATH: a model (x, x.mdl, or either file of the pair x.mdl and x.dx80.vtx) or a "
                  "folder, searched for .mdl files in any letter case (car names car.mdl even beside a folder car; "
                  "car/ names the folder). Each model is written into a folder of its "
                  "own, DIR/NAME/, with its streams.log; it is never written into DIR itself. When a PATH is a "
                  "folder, all PATHs are converted as one batch, which also writes DIR/report.json and "
                  "DIR/index.html.",
              0) +
      "\n"
      "Options (--opt VALUE and --opt=VALUE both work; -- ends the options):\n";
  for (const OptionRow& row : Options()) {
    if (row.longName == nullptr) continue;
    std::string details = row.details;
    if (row.defaultText != nullptr) details += std::string(" (default: ") + row.defaultText + ")";
    text += OptionEntry(ConvertLabel(row), details);
  }
  return text + "\n" +
         Wrapped("", "A model's messages go to its streams.log and, for a model named directly, to standard output "
                     "unless -q. Problems go to standard error as \"tamberlo: WHAT: PATH: REASON\"; so do a batch's "
                     "failed models and its summary line.",
                 0) +
         "\n" + kConvertExitStatus + "\nSee also: man tamberlo.\n";
}

std::string FirstVersionHelpText() {
  std::string text =
      "Use: Tamberlo.exe -file <Model Name>\n"
      "\n"
      "One model:     tamberlo -file NAME [-out DIR] [-jobs N] [-format KIND]\n"
      "                   [-max-output SIZE] [-preview] [-preview-size N]\n"
      "Many models:   tamberlo -batch PATH... -out DIR [-jobs N] [-quiet]\n"
      "                   [-follow-links] [-format KIND] [-max-output SIZE] [-preview]\n"
      "\n" +
      Wrapped("", "Options are matched in any letter case, anywhere on the line; an option neither line knows is "
                  "named on standard error and otherwise ignored.",
              0) +
      "\n";
  for (const OptionRow& row : Options()) {
    if (row.firstHelp != nullptr) text += OptionEntry(FirstVersionLabel(row), row.firstHelp);
  }
  return text + "\n" +
         Wrapped("", "-batch writes DIR/report.json (every model's input, version, status, exit status, messages, "
                     "files and seconds, and a summary) and DIR/index.html (the same as a page for a browser); "
                     "standard output shows only the models that failed and one summary line.",
                 0) +
         "\n"
         "Exit status of -file:\n"
         "  0   the usage line was printed, or an input file could not be loaded\n"
         "  1   the model was converted (also when its version was refused)\n"
         "  2   converted, but with damaged input data or an output not written\n"
         "  64  a wrong command line, or the output folder cannot be created\n"
         "Exit status of -batch:\n"
         "  0   every model was converted without errors\n"
         "  2   some model was not (see DIR/report.json), or a folder was unreadable\n"
         "  64  a wrong command line (no -out, no PATH, a bad value), or DIR not made\n"
         "  130 interrupted (Ctrl-C): the models in progress finished, the report written\n";
}

std::string VersionText() { return std::string("tamberlo ") + kToolVersion + "\n"; }

int RunHelpCommand(int argc, char** argv) {
  const char* topic = argc > 0 ? argv[0] : "";
  if (argc > 1) topic = "";  // one topic at most
  std::string text;
  if (argc == 0) text = ShortHelpText();
  else if (std::strcmp(topic, "convert") == 0) text = ConvertHelpText();
  else if (std::strcmp(topic, "file") == 0 || std::strcmp(topic, "batch") == 0) text = FirstVersionHelpText();
  if (text.empty()) {
    std::fprintf(stderr, "tamberlo: help: unknown topic \"%s\"; the topics are convert and file\n",
                 argc > 0 ? argv[0] : "");
    return kExitUsage;
  }
  std::fputs(text.c_str(), stdout);
  return 0;
}

// The option table in process: convert's GNU-style reading, the first
// version's unknown options, the suggestions and the help's shape.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/convert_options.h"
#include "driver/first_version_line.h"
#include "driver/help_text.h"
#include "driver/option_table.h"
#include "tests/support/text_lines.h"

namespace {

struct Words {
  std::vector<std::string> strings;
  std::vector<char*> pointers;
  explicit Words(std::vector<std::string> s) : strings(std::move(s)) {
    for (std::string& word : strings) pointers.push_back(word.data());
  }
  int argc() const { return static_cast<int>(pointers.size()); }
  char** argv() { return pointers.data(); }
};

bool Convert(std::vector<std::string> args, ConvertLine& line, std::string& error) {
  Words words(std::move(args));
  return ParseConvertLine(words.argc(), words.argv(), line, error);
}

std::string ConvertError(std::vector<std::string> args) {
  ConvertLine line;
  std::string error;
  EXPECT_FALSE(Convert(args, line, error)) << args.front();
  return error;
}

std::vector<std::string> Unknown(std::vector<std::string> args) {
  args.insert(args.begin(), "tamberlo");
  Words words(std::move(args));
  return UnknownOptionLines(words.argc(), words.argv());
}

}  // namespace

TEST(ConvertLine, ValuesComeJoinedOrAsTheNextWord) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--out=o", "x"}, {"--out", "o", "x"}, {"-o", "o", "x"}, {"-oo", "x"}, {"x", "-o", "o"}}) {
    ConvertLine line;
    std::string error;
    ASSERT_TRUE(Convert(args, line, error)) << error;
    EXPECT_EQ(line.options.out, "o");
    EXPECT_EQ(line.options.paths, std::vector<std::string>{"x"});
  }
  ConvertLine line;
  std::string error;
  ASSERT_TRUE(Convert({"-qj3", "--format=ALL", "--max-output", "2M", "--follow-links", "--preview", "a", "--", "-b"},
                      line, error))
      << error;
  EXPECT_TRUE(line.options.quiet);
  EXPECT_TRUE(line.options.followLinks);
  EXPECT_EQ(line.options.jobs, 3);
  EXPECT_EQ(line.options.format, OutputFormat::All);
  EXPECT_EQ(line.options.maxOutput, uint64_t{2} << 20);
  EXPECT_EQ(line.options.previewSize, kDefaultPreviewSize);
  EXPECT_EQ(line.options.paths, (std::vector<std::string>{"a", "-b"}));
  // The picture's size only joined: a word after --preview is a PATH.
  ASSERT_TRUE(Convert({"--preview=512", "--preview", "64"}, line, error));
  EXPECT_EQ(line.options.previewSize, kDefaultPreviewSize);
  EXPECT_EQ(line.options.paths, std::vector<std::string>{"64"});
  ASSERT_TRUE(Convert({"--preview=512", "x"}, line, error));
  EXPECT_EQ(line.options.previewSize, 512);
  // Defaults left for the command to fill.
  ASSERT_TRUE(Convert({"x"}, line, error));
  EXPECT_EQ(line.options.out, "");
  EXPECT_EQ(line.options.jobs, 0);
  EXPECT_EQ(line.options.maxOutput, kDefaultOutputLimit);
  // Help and version need no PATH.
  ASSERT_TRUE(Convert({"-h"}, line, error));
  EXPECT_TRUE(line.help);
  ASSERT_TRUE(Convert({"--version"}, line, error));
  EXPECT_TRUE(line.version);
}

TEST(ConvertLine, WrongLinesSayWhatAndSuggestTheNearestOption) {
  EXPECT_EQ(ConvertError({"--outt", "d", "x"}), "unknown option --outt; did you mean --out?");
  EXPECT_EQ(ConvertError({"--output=d", "x"}), "unknown option --output=d; did you mean --out?");
  EXPECT_EQ(ConvertError({"--jbos", "2", "x"}), "unknown option --jbos; did you mean --jobs?");
  // The first version's spellings would read as short options (-o "ut").
  EXPECT_EQ(ConvertError({"-out", "d", "x"}), "unknown option -out; did you mean --out?");
  EXPECT_EQ(ConvertError({"-Quiet", "x"}), "unknown option -Quiet; did you mean --quiet?");
  EXPECT_EQ(ConvertError({"-preview-size", "64", "x"}), "unknown option -preview-size; did you mean --preview?");
  EXPECT_EQ(ConvertError({"--zebra", "x"}), "unknown option --zebra (tamberlo help convert lists the options)");
  EXPECT_EQ(ConvertError({"-qx", "x"}), "unknown option -x in -qx (tamberlo help convert lists the options)");
  EXPECT_EQ(ConvertError({"x", "--out"}), "--out needs a value: --out DIR");
  EXPECT_EQ(ConvertError({"x", "-j"}), "-j needs a value: -j N");
  EXPECT_EQ(ConvertError({"--quiet=yes", "x"}), "--quiet takes no value");
  EXPECT_EQ(ConvertError({"-j", "0", "x"}), "-j takes a whole number from 1 to 1024, not \"0\"");
  EXPECT_EQ(ConvertError({"--jobs=1025", "x"}), "--jobs takes a whole number from 1 to 1024, not \"1025\"");
  EXPECT_EQ(ConvertError({"--format", "obj", "x"}), "--format takes smd, gltf or all, not \"obj\"");
  EXPECT_EQ(ConvertError({"--preview=8", "x"}), "--preview takes a whole number from 16 to 4096, not \"8\"");
  EXPECT_EQ(ConvertError({"--max-output=1.5M", "x"}),
            "--max-output takes a size in bytes with an optional K, M or G (0: no limit), not \"1.5M\"");
  EXPECT_EQ(ConvertError({"--out=", "x"}), "--out takes a folder name, not \"\"");
  EXPECT_EQ(ConvertError({""}), "convert takes no empty PATH");
  EXPECT_EQ(ConvertError({"-q"}), "convert needs a PATH: a model or a folder (tamberlo help convert)");
}

TEST(FirstVersionLine, UnknownOptionsAreNamedAndValuesSkipped) {
  EXPECT_TRUE(Unknown({"-file", "-bogus", "-OUT", "-x", "-jobs", "-2", "-batch", "a", "-Quiet", "-follow-links",
                       "-preview", "-preview-size", "-9", "-format", "-y", "-max-output", "-z", "-h", "--version", "-"})
                  .empty());
  EXPECT_EQ(Unknown({"-file", "m", "-bogus", "--out", "d", "-out=d", "--file"}),
            (std::vector<std::string>{"tamberlo: unknown option ignored: -bogus",
                                      "tamberlo: unknown option ignored: --out (did you mean -out?)",
                                      "tamberlo: unknown option ignored: -out=d (did you mean -out?)",
                                      "tamberlo: unknown option ignored: --file (did you mean -file?)"}));
}

TEST(FirstVersionLine, HelpIsAnOptionOfItsOwnNotAValue) {
  Words asValue({"tamberlo", "-file", "-h"});
  EXPECT_FALSE(AsksFor(asValue.argc(), asValue.argv(), Option::Help));
  Words asOption({"tamberlo", "-out", "o", "-HELP"});
  EXPECT_TRUE(AsksFor(asOption.argc(), asOption.argv(), Option::Help));
  EXPECT_FALSE(AsksFor(asOption.argc(), asOption.argv(), Option::Version));
}

TEST(NearestName, OnlyCloseNamesAreSuggested) {
  const std::vector<std::string> names = {"--out", "--jobs", "--format", "--follow-links", "--quiet"};
  EXPECT_EQ(NearestName("--ot", names), "--out");
  EXPECT_EQ(NearestName("--form", names), "--format");
  EXPECT_EQ(NearestName("--follow", names), "--follow-links");
  EXPECT_EQ(NearestName("--quite", names), "--quiet");
  EXPECT_EQ(NearestName("--x", names), "");
  EXPECT_EQ(NearestName("--verbose", names), "");
}

TEST(HelpText, FitsItsScreenAndNamesEveryOptionWithItsDefault) {
  const std::vector<std::string> screen = Lines(ShortHelpText());
  EXPECT_LE(screen.size(), 24u);
  for (const std::string& text : {ShortHelpText(), ConvertHelpText(), FirstVersionHelpText()}) {
    for (const std::string& line : Lines(text)) EXPECT_LE(line.size(), 80u) << line;
  }
  for (const char* pointer : {"tamberlo help convert", "man tamberlo", "64"})
    EXPECT_NE(ShortHelpText().find(pointer), std::string::npos) << pointer;

  // Words joined by single spaces: a default may be wrapped onto the next line.
  std::string convert;
  std::istringstream words(ConvertHelpText());
  for (std::string word; words >> word;) convert += word + " ";
  const std::string first = FirstVersionHelpText();
  for (const OptionRow& row : Options()) {
    if (row.longName != nullptr) {
      EXPECT_NE(convert.find(std::string("--") + row.longName), std::string::npos) << row.longName;
      EXPECT_NE(ShortHelpText().find(std::string("--") + row.longName), std::string::npos) << row.longName;
    }
    if (row.defaultText != nullptr) {
      EXPECT_NE(convert.find(std::string("(default: ") + row.defaultText + ")"), std::string::npos)
          << row.longName;
    }
    for (const char* name : row.firstNames) EXPECT_NE(first.find(name), std::string::npos) << name;
  }
  for (const char* status : {"Exit status: 0 ", " 1 ", " 64 ", " 128+N "})
    EXPECT_NE(convert.find(status), std::string::npos) << status;
}

#include "driver/convert_options.h"

#include <strings.h>

#include <cstring>
#include <vector>

#include "driver/option_table.h"

namespace {

const OptionRow* LongOption(std::string_view name) {
  for (const OptionRow& row : Options()) {
    if (row.longName != nullptr && name == row.longName) return &row;
  }
  return nullptr;
}

const OptionRow* ShortOption(char name) {
  for (const OptionRow& row : Options()) {
    if (row.longName != nullptr && row.shortName != 0 && row.shortName == name) return &row;
  }
  return nullptr;
}

std::vector<std::string> LongNames() {
  std::vector<std::string> names;
  for (const OptionRow& row : Options()) {
    if (row.longName != nullptr) names.push_back(std::string("--") + row.longName);
  }
  return names;
}

std::string UnknownOption(std::string_view given) {
  std::string error = "unknown option " + std::string(given);
  const std::string nearest = NearestName(given, LongNames());
  return error + (nearest.empty() ? " (tamberlo help convert lists the options)" : "; did you mean " + nearest + "?");
}

// A word of one dash that is a long name ("-out", "-quiet") or one of the
// first version's options ("-file", "-preview-size"): read as joined short
// options it would mean something else (-o with the value "ut"), so it is
// refused.
bool LooksLikeALongName(const char* word) {
  if (std::strlen(word) == 2) return false;  // "-h" is -h in both
  for (const OptionRow& row : Options()) {
    if (row.longName != nullptr && ::strcasecmp(word + 1, row.longName) == 0) return true;
    for (const char* name : row.firstNames) {
      if (::strcasecmp(word, name) == 0) return true;
    }
  }
  return false;
}

class Reader {
 public:
  Reader(int argc, char** argv, ConvertLine& line) : argc_(argc), argv_(argv), line_(line) {}

  bool Read(std::string& error) {
    bool optionsEnd = false;
    for (i_ = 0; i_ < argc_; ++i_) {
      const char* word = argv_[i_];
      bool ok = true;
      if (optionsEnd || word[0] != '-' || word[1] == '\0') {
        ok = Path(word, error);
      } else if (std::strcmp(word, "--") == 0) {
        optionsEnd = true;
      } else if (word[1] == '-') {
        ok = Long(word, error);
      } else if (LooksLikeALongName(word)) {
        error = UnknownOption(word);
        ok = false;
      } else {
        ok = ShortGroup(word, error);
      }
      if (!ok) return false;
    }
    if (line_.options.paths.empty() && !line_.help && !line_.version) {
      error = "convert needs a PATH: a model or a folder (tamberlo help convert)";
      return false;
    }
    return true;
  }

 private:
  bool Path(const char* word, std::string& error) {
    if (word[0] == '\0') {
      error = "convert takes no empty PATH";
      return false;
    }
    line_.options.paths.push_back(word);
    return true;
  }

  // "--name", "--name=value", "--name value".
  bool Long(const char* word, std::string& error) {
    const std::string_view text(word);
    const size_t equals = text.find('=');
    const std::string_view shown = text.substr(0, equals);
    const OptionRow* row = LongOption(shown.substr(2));
    if (row == nullptr) {
      error = UnknownOption(text);
      return false;
    }
    if (equals != std::string_view::npos) {
      if (row->convertValue == ValueUse::None) {
        error = std::string(shown) + " takes no value";
        return false;
      }
      return Apply(*row, shown, word + equals + 1, error);
    }
    if (row->convertValue == ValueUse::Required) return NextValue(*row, shown, error);
    return Apply(*row, shown, nullptr, error);
  }

  // "-q", "-o DIR", "-oDIR", "-qj2".
  bool ShortGroup(const char* word, std::string& error) {
    for (const char* at = word + 1; *at != '\0'; ++at) {
      const std::string shown = std::string("-") + *at;
      const OptionRow* row = ShortOption(*at);
      if (row == nullptr) {
        error = "unknown option " + shown + (at == word + 1 ? "" : std::string(" in ") + word) +
                " (tamberlo help convert lists the options)";
        return false;
      }
      if (row->convertValue != ValueUse::Required) {
        if (!Apply(*row, shown, nullptr, error)) return false;
        continue;
      }
      if (at[1] != '\0') return Apply(*row, shown, at + 1, error);
      return NextValue(*row, shown, error);
    }
    return true;
  }

  bool NextValue(const OptionRow& row, std::string_view shown, std::string& error) {
    if (i_ + 1 >= argc_) {
      error = std::string(shown) + " needs a value: " + std::string(shown) + " " + row.valueName;
      return false;
    }
    return Apply(row, shown, argv_[++i_], error);
  }

  bool Apply(const OptionRow& row, std::string_view shown, const char* value, std::string& error) {
    if (row.id == Option::Help) line_.help = true;
    if (row.id == Option::Version) line_.version = true;
    if (row.apply(value, line_.options)) return true;
    error = RuleError(shown, row, value != nullptr ? value : "");
    return false;
  }

  int argc_;
  char** argv_;
  ConvertLine& line_;
  int i_ = 0;
};

}  // namespace

bool ParseConvertLine(int argc, char** argv, ConvertLine& line, std::string& error) {
  line = ConvertLine();
  line.options.jobs = 0;
  return Reader(argc, argv, line).Read(error);
}

#include "common/arguments.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "common/directory.h"
#include "common/escape.h"
#include "common/suggest.h"

namespace o3 {
namespace {

void complain(std::string_view command, const std::string& what) {
  std::fprintf(stderr, "o3tables %.*s: %s\n", static_cast<int>(command.size()),
               command.data(), what.c_str());
}

}  // namespace

const std::string* arguments::value(std::string_view name) const {
  for (const auto& [option, given] : values) {
    if (option == name) return &given;
  }
  return nullptr;
}

std::optional<arguments> parse_arguments(std::string_view command, int argc,
                                         const char* const* argv,
                                         std::initializer_list<std::string_view> options) {
  arguments a;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      a.help = true;
      continue;
    }
    if (!arg.starts_with("-") || arg == "-") {
      if (a.file) {
        complain(command, "a second file " + in_quotes(arg) + " after " + in_quotes(*a.file));
        return std::nullopt;
      }
      a.file = std::string(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const std::string shown = in_quotes(name);
    if (name == "--help") {
      complain(command, "option " + shown + " takes no value");
      return std::nullopt;
    }
    std::string_view known = is_directory_option(name) ? "--directory" : "";
    for (const std::string_view o : options) {
      if (o == name) known = o;
    }
    if (known.empty()) {
      std::vector<std::string_view> names(options.begin(), options.end());
      names.push_back("--directory");
      names.push_back("--help");
      const std::string_view near = nearest_name(name, names);
      complain(command, "unknown option " + shown +
                            (near.empty() ? "" : " (did you mean " + std::string(near) + "?)"));
      return std::nullopt;
    }
    if (a.value(known) != nullptr) {
      complain(command, "option " + shown + " given twice");
      return std::nullopt;
    }
    std::optional<std::string> value;
    if (equals != std::string_view::npos) {
      value = std::string(arg.substr(equals + 1));
    } else if (i + 1 < argc && !std::string_view(argv[i + 1]).starts_with("--")) {
      value = argv[++i];
    }
    // An empty value (--svg= from an unset shell variable) names nothing:
    // refused rather than taken as the option left out.
    if (!value || value->empty()) {
      complain(command, "option " + shown + " needs a value");
      return std::nullopt;
    }
    a.values.emplace_back(known, std::move(*value));
  }
  return a;
}

void refuse_value(std::string_view command, std::string_view option,
                  std::string_view value, std::string_view why) {
  complain(command, std::string(option) + " " + in_quotes(value) + " refused: " + std::string(why));
}

}  // namespace o3

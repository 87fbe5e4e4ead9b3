#include "common/arguments.h"

#include <cstdio>

#include "common/escape.h"
#include "common/exit_status.h"
#include "common/suggest.h"

namespace o3 {
namespace {

std::string did_you_mean(std::string_view typed, std::span<const std::string_view> known) {
  const std::string_view near = nearest_name(typed, known);
  return near.empty() ? std::string() : " (did you mean " + std::string(near) + "?)";
}

// Stops the parse at its first fault.
arguments fault(std::string what) {
  arguments a;
  a.error = std::move(what);
  return a;
}

}  // namespace

const std::string* arguments::value(std::string_view name) const {
  for (const auto& [option, given_value] : given) {
    if (option == name) return &given_value;
  }
  return nullptr;
}

arguments parse_arguments(int argc, const char* const* argv, const command_syntax& syntax) {
  std::vector<std::string_view> names;
  for (const option_syntax& o : syntax.options) names.push_back(o.name);
  arguments a;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!arg.starts_with("-") || arg == "-") {
      if (!syntax.takes_file) {
        return fault("unknown argument " + in_quotes(arg) + did_you_mean(arg, syntax.near));
      }
      if (a.file) return fault("a second file " + in_quotes(arg) + " after " + in_quotes(*a.file));
      a.file = std::string(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view typed = arg.substr(0, equals);
    const std::string shown = in_quotes(typed);
    const option_syntax* option = nullptr;
    for (const option_syntax& o : syntax.options) {
      if (o.named(typed)) option = &o;
    }
    if (option == nullptr) return fault("unknown option " + shown + did_you_mean(typed, names));
    if (option->takes == option_syntax::flag || option->takes == option_syntax::help) {
      if (equals != std::string_view::npos) return fault("option " + shown + " takes no value");
      if (option->takes == option_syntax::help) {
        a.help = true;
        continue;
      }
    }
    if (a.value(option->name) != nullptr) return fault("option " + shown + " given twice");
    std::optional<std::string> value;
    if (option->takes == option_syntax::flag) {
      value.emplace();
    } else if (equals != std::string_view::npos) {
      value = std::string(arg.substr(equals + 1));
    } else if (i + 1 < argc && !std::string_view(argv[i + 1]).starts_with("--")) {
      value = argv[++i];
    }
    // An empty value (--svg= or -C "$UNSET" from an unset shell variable)
    // names nothing: refused rather than taken as the option left out.
    if (!value || (value->empty() && option->takes == option_syntax::value)) {
      return fault("option " + shown + " needs a value");
    }
    a.given.emplace_back(option->name, std::move(*value));
  }
  return a;
}

void complain(std::string_view command, std::string_view what) {
  std::fprintf(stderr, "o3tables%s%.*s: %.*s\n", command.empty() ? "" : " ",
               static_cast<int>(command.size()), command.data(), static_cast<int>(what.size()),
               what.data());
}

std::string refusal(std::string_view option, std::string_view value, std::string_view why) {
  return std::string(option) + " " + in_quotes(value) + " refused: " + std::string(why);
}

int usage_error(std::string_view command, std::string_view what, std::string_view usage) {
  complain(command, what);
  std::fprintf(stderr, "usage: %.*s\n", static_cast<int>(usage.size()), usage.data());
  return exit_usage;
}

}  // namespace o3

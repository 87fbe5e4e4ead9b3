#include "tests/other_locale.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace o3test {
namespace {

namespace fs = std::filesystem;

// Where localedef puts the locale when the system has none, kept under /tmp
// for the next test: compiled aside and renamed into place, so that tests
// running together never see half of it.
std::string compiled_locales() {
  const fs::path dir = "/tmp/o3tables_locales";
  std::error_code e;
  if (!fs::exists(dir / long_point_locale, e)) {
    fs::create_directories(dir, e);
    char aside[] = "/tmp/o3tables_locales/new.XXXXXX";
    if (mkdtemp(aside) != nullptr) {
      const fs::path made = fs::path(aside) / long_point_locale;
      const std::string make = "localedef -i ps_AF -f UTF-8 " + made.string() + " >/dev/null 2>&1";
      if (std::system(make.c_str()) == 0) {
        fs::rename(made, dir / long_point_locale, e);  // another test may have been first
      }
      fs::remove_all(aside, e);
    }
  }
  return dir.string();
}

}  // namespace

other_locale::other_locale() {
  set_ = std::setlocale(LC_ALL, long_point_locale.c_str()) != nullptr;
  if (!set_) {
    setenv("LOCPATH", compiled_locales().c_str(), 1);
    set_ = std::setlocale(LC_ALL, long_point_locale.c_str()) != nullptr;
  }
}

other_locale::~other_locale() { std::setlocale(LC_ALL, "C"); }

}  // namespace o3test

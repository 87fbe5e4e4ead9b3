#include "checker/data_file.h"

#include <cmath>

#include "checker/losses.h"
#include "checker/text.h"

namespace o3::checker {
namespace {

// Reals in their shortest form that reads back as the same double.
void histogram_columns(std::FILE* out, const sampler::sampler& s, int g, double h) {
  std::fprintf(out, "%d %s %d %s %s %s %s %s", g, exact(h).c_str(), s.pieces_per_histogram(),
               exact(s.loss(g)).c_str(), exact(s.area(g)).c_str(),
               exact(envelope_factor(s, g)).c_str(), exact(s.smallest_served(g)).c_str(),
               exact(s.largest_served(g)).c_str());
}

}  // namespace

void write_data(std::FILE* out, const sampler::sampler& s,
                const std::vector<coupling_result>& tested) {
  const char* columns =
      "# histogram coupling pieces loss_percent box_area envelope_factor "
      "served_from served_to chi2 p_chi2 accepted expected_accepted\n";
  std::fprintf(out,
               "# o3tables check: the histograms of a table with H0 = %s, "
               "H_max = %s, losses %s %%\n",
               exact(s.H0()).c_str(), exact(s.H_max()).c_str(), exact(s.losses()).c_str());
  std::fputs(columns, out);
  for (int g = 0; g < s.histogram_count(); ++g) {
    histogram_columns(out, s, g, s.coupling(g));
    std::fputs(" nan nan nan nan\n", out);
  }
  std::fputs("\n\n# the test couplings, each with the histogram that serves it\n", out);
  std::fputs(columns, out);
  for (const coupling_result& r : tested) {
    histogram_columns(out, s, r.histogram, r.h);
    std::fprintf(out, " %s %s %s %s\n", exact(r.chi2).c_str(), exact(r.chi2_p).c_str(),
                 exact(r.acceptance).c_str(), exact(r.expected_acceptance).c_str());
  }
}

}  // namespace o3::checker

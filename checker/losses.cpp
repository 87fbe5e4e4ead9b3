#include "checker/losses.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

namespace o3::checker {

losses_summary summarize_losses(const sampler::sampler& s) {
  losses_summary r{s.losses(), 0, 0, -std::numeric_limits<double>::infinity(), 0.0};
  const int count = s.histogram_count();
  for (int g = 0; g < count; ++g) {
    const double loss = s.loss(g);
    if (loss > r.asked) ++r.above;
    if (loss > r.worst_loss) {
      r.worst_loss = loss;
      r.worst = g;
    }
    r.mean += loss;
  }
  r.mean /= count;
  return r;
}

double envelope_factor(const sampler::sampler& s, int g) {
  const std::span<const double> x = s.points(g);
  const double H = s.coupling(g);
  const double area = s.area(g);
  const std::size_t last = std::max<std::size_t>(x.size() - 2, 1);
  double least = std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < last; ++k) {
    least = std::min(least, area / ((x[k + 1] - x[k]) * std::exp(H * (x[k + 1] - 1.0))));
  }
  return least;
}

}  // namespace o3::checker

#include "checker/svg.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <string>

#include "checker/statistics.h"
#include "checker/text.h"

namespace o3::checker {
namespace {

constexpr double page_width = 960.0;
constexpr double page_height = 1270.0;
constexpr std::size_t picture_bins = 100;
constexpr const char* red = "#c62828";
constexpr const char* blue = "#3b73b9";

// A value for a label: four significant digits, so that 0.6000000000000001
// reads 0.6.
std::string label(double v) { return text("%.4g", std::fabs(v) < 1e-12 ? 0.0 : v); }

// A plot area: data ranges mapped to a pixel rectangle, y upwards; x on a
// logarithmic scale when `log_x`.
struct frame {
  double x0, x1, y0, y1;
  double left, right, top, bottom;
  bool log_x = false;
  double px(double x) const {
    const double at = log_x ? (std::log10(x) - std::log10(x0)) / (std::log10(x1) - std::log10(x0))
                            : (x - x0) / (x1 - x0);
    return left + at * (right - left);
  }
  double py(double y) const { return bottom - (y - y0) / (y1 - y0) * (bottom - top); }
};

// Tick spacing of 1, 2 or 5 times a power of ten, about six ticks a range.
double tick_step(double range) {
  const double raw = range / 6.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double m = raw / power;
  return (m < 1.5 ? 1.0 : m < 3.0 ? 2.0 : m < 7.0 ? 5.0 : 10.0) * power;
}

void tick(std::FILE* out, double x1, double y1, double x2, double y2) {
  std::fprintf(out, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\"/>\n",
               x1, y1, x2, y2);
}

void x_ticks(std::FILE* out, const frame& f) {
  if (f.log_x) {
    // A labelled tick at each power of ten, short ones at 2 to 9 times it.
    for (double decade = std::pow(10.0, std::floor(std::log10(f.x0))); decade <= f.x1;
         decade *= 10.0) {
      for (int m = 1; m <= 9; ++m) {
        const double v = m * decade;
        if (v < f.x0 * (1 - 1e-12) || v > f.x1 * (1 + 1e-12)) continue;
        tick(out, f.px(v), f.bottom, f.px(v), f.bottom + (m == 1 ? 6.0 : 3.0));
        if (m == 1) {
          std::fprintf(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
                       f.px(v), f.bottom + 19.0, label(v).c_str());
        }
      }
    }
    return;
  }
  const double xs = tick_step(f.x1 - f.x0);
  for (double v = std::ceil(f.x0 / xs - 1e-9) * xs; v <= f.x1 + 1e-9 * xs; v += xs) {
    tick(out, f.px(v), f.bottom, f.px(v), f.bottom + 5.0);
    std::fprintf(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n", f.px(v),
                 f.bottom + 19.0, label(v).c_str());
  }
}

void axes(std::FILE* out, const frame& f, const char* x_label, const char* y_label) {
  std::fprintf(out,
               "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" "
               "fill=\"none\" stroke=\"black\"/>\n",
               f.left, f.top, f.right - f.left, f.bottom - f.top);
  x_ticks(out, f);
  const double ys = tick_step(f.y1 - f.y0);
  for (double v = std::ceil(f.y0 / ys - 1e-9) * ys; v <= f.y1 + 1e-9 * ys; v += ys) {
    tick(out, f.left - 5.0, f.py(v), f.left, f.py(v));
    std::fprintf(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n", f.left - 8.0,
                 f.py(v) + 4.0, label(v).c_str());
  }
  std::fprintf(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
               0.5 * (f.left + f.right), f.bottom + 40.0, x_label);
  std::fprintf(out,
               "<text transform=\"translate(%.1f %.1f) rotate(-90)\" "
               "text-anchor=\"middle\">%s</text>\n",
               f.left - 55.0, 0.5 * (f.top + f.bottom), y_label);
}

void legend(std::FILE* out, double x, double y, const char* colour, const char* what) {
  std::fprintf(out,
               "<rect x=\"%.1f\" y=\"%.1f\" width=\"14\" height=\"10\" fill=\"%s\"/>"
               "<text x=\"%.1f\" y=\"%.1f\">%s</text>\n",
               x, y - 9.0, colour, x + 20.0, y, what);
}

// A curve's entry: a short line, not a filled box, so that no bar of a
// panel is taken for it.
void legend_line(std::FILE* out, double x, double y, const char* colour, const char* what) {
  std::fprintf(out,
               "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" "
               "stroke-width=\"1.6\"/><text x=\"%.1f\" y=\"%.1f\">%s</text>\n",
               x, y - 4.0, x + 14.0, y - 4.0, colour, x + 20.0, y, what);
}

void horizontal(std::FILE* out, const frame& f, double y, const char* colour, const char* dash) {
  std::fprintf(out,
               "<line x1=\"%.1f\" y1=\"%.2f\" x2=\"%.1f\" y2=\"%.2f\" stroke=\"%s\" "
               "stroke-dasharray=\"%s\"/>\n",
               f.left, f.py(y), f.right, f.py(y), colour, dash);
}

// The drawn values counted in the picture's bins over [left, 1].
std::vector<double> counts_of(const std::vector<double>& drawn, double left) {
  const double width = (1.0 - left) / static_cast<double>(picture_bins);
  std::vector<double> counts(picture_bins, 0.0);
  for (const double y : drawn) {
    if (y < left) continue;
    counts[std::min(static_cast<std::size_t>((y - left) / width), picture_bins - 1)] += 1.0;
  }
  return counts;
}

// Panel 1: the density at h, the boxes of histogram g and the drawn values.
void density_panel(std::FILE* out, const sampler::sampler& t, double h, int g,
                   const std::vector<double>& drawn, const std::vector<double>& counts,
                   double left) {
  const std::span<const double> points = t.points(g);
  const double area = t.area(g);
  const double width = (1.0 - left) / static_cast<double>(picture_bins);
  // Counts to the density's units: the drawn law is exp(h (y - 1)) / I(h).
  const double scale = density_integral(h) / (static_cast<double>(drawn.size()) * width);
  double top = 1.0;
  for (const double c : counts) top = std::max(top, c * scale);
  for (std::size_t k = 0; k + 1 < points.size(); ++k) {
    if (points[k + 1] > left) top = std::max(top, area / (points[k + 1] - points[k]));
  }
  const frame f{left, 1.0, 0.0, 1.08 * top, 90.0, 930.0, 80.0, 390.0};

  std::string outline = text("M%.2f %.2f", f.px(std::max(left, points[0])), f.py(0.0));
  for (std::size_t k = 0; k + 1 < points.size(); ++k) {
    if (points[k + 1] <= left) continue;
    outline += text(" V%.2f H%.2f", f.py(area / (points[k + 1] - points[k])), f.px(points[k + 1]));
  }
  outline += text(" V%.2f Z", f.py(0.0));
  // Filled under the drawn values, outlined over them: both stay visible.
  std::fprintf(out, "<path d=\"%s\" fill=\"#d9d9d9\"/>\n", outline.c_str());
  for (std::size_t i = 0; i < picture_bins; ++i) {
    const double x = left + static_cast<double>(i) * width;
    const double bar = counts[i] * scale;
    std::fprintf(out,
                 "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" "
                 "fill=\"%s\" fill-opacity=\"0.5\"/>\n",
                 f.px(x), f.py(bar), f.px(x + width) - f.px(x), f.py(0.0) - f.py(bar), blue);
  }
  std::fprintf(out, "<path d=\"%s\" fill=\"none\" stroke=\"#333\" stroke-width=\"0.7\"/>\n",
               outline.c_str());
  std::vector<double> ys(points.begin(), points.end());
  for (int i = 0; i <= 600; ++i) ys.push_back(left + (1.0 - left) * i / 600.0);
  std::sort(ys.begin(), ys.end());
  std::string curve;
  for (const double y : ys) {
    if (y >= left) curve += text("%.2f,%.2f ", f.px(y), f.py(std::exp(h * (y - 1.0))));
  }
  std::fprintf(out,
               "<polyline points=\"%s\" fill=\"none\" stroke=\"%s\" "
               "stroke-width=\"1.6\"/>\n",
               curve.c_str(), red);

  axes(out, f, "y = cos \u03b8", "density exp(h (y \u2212 1))");
  std::fprintf(out,
               "<text x=\"90\" y=\"40\" font-size=\"16\">Coupling h = %s: "
               "histogram %d (H = %s, %d pieces, loss %s %%), %zu draws</text>\n",
               label(h).c_str(), g, label(t.coupling(g)).c_str(), t.pieces_per_histogram(),
               label(t.loss(g)).c_str(), drawn.size());
  if (left > -1.0) {
    std::fprintf(out,
                 "<text x=\"90\" y=\"60\" font-size=\"12\">y shown from %s: "
                 "further left the density is below e\u207b\u2078 of its maximum</text>\n",
                 label(left).c_str());
  }
  legend_line(out, 110.0, 105.0, red, "density exp(h (y \u2212 1))");
  legend(out, 110.0, 125.0, "#d9d9d9", "envelope boxes: height = area / piece width");
  legend(out, 110.0, 145.0, blue, "drawn values, scaled to the density");
}

// Panel 2: each bin's count against the count the exact law expects, in
// standard errors of that count (the square root of the expected count, for
// bins that expect at least 5), and the check's chi-square of the same draws.
void deviation_panel(std::FILE* out, double h, const std::vector<double>& drawn,
                     const std::vector<double>& counts, double left) {
  const std::size_t n = drawn.size();
  const exact_law law(h);
  const double width = (1.0 - left) / static_cast<double>(picture_bins);
  std::vector<double> z(picture_bins, std::nan(""));
  double largest = 3.0;
  for (std::size_t i = 0; i < picture_bins; ++i) {
    const double a = left + static_cast<double>(i) * width;
    const double expected =
        static_cast<double>(n) * (law.cdf(i + 1 == picture_bins ? 1.0 : a + width) - law.cdf(a));
    if (expected < 5.0) continue;
    z[i] = (counts[i] - expected) / std::sqrt(expected);
    largest = std::max(largest, std::fabs(z[i]));
  }
  const double span = std::ceil(1.1 * largest);
  const frame f{left, 1.0, -span, span, 90.0, 930.0, 510.0, 660.0};
  horizontal(out, f, 0.0, "black", "none");
  horizontal(out, f, 2.0, "#888", "4 3");
  horizontal(out, f, -2.0, "#888", "4 3");
  for (std::size_t i = 0; i < picture_bins; ++i) {
    if (std::isnan(z[i])) continue;
    const double x = left + static_cast<double>(i) * width;
    const double from = std::min(0.0, z[i]);
    std::fprintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\"/>\n",
                 f.px(x) + 0.5, f.py(from + std::fabs(z[i])), f.px(x + width) - f.px(x) - 1.0,
                 f.py(from) - f.py(from + std::fabs(z[i])), std::fabs(z[i]) > 3.0 ? red : blue);
  }
  axes(out, f, "y = cos \u03b8", "(drawn \u2212 expected) / \u03c3");
  std::fprintf(out,
               "<text x=\"90\" y=\"465\" font-size=\"16\">Deviation of the drawn "
               "values from the exact density, per bin, in standard errors (dashed: "
               "\u00b12)</text>\n");
  // Of 100 bins of a sound table each lies beyond 3 standard errors with
  // probability 0.27 %: 1 - 0.9973^100, about one picture in four, has one.
  legend(out, 90.0, 484.0, blue, "within \u00b13 \u03c3");
  legend(out, 200.0, 484.0, red,
         "beyond \u00b13 \u03c3: a bin of a sound table by chance "
         "with probability 0.27 %, in about one picture in four");
  std::vector<std::uint64_t> equiprobable(chi_square_bins, 0);
  for (const double y : drawn) ++equiprobable[law.bin(y, chi_square_bins)];
  const double chi2 = chi_square(equiprobable);
  const int df = static_cast<int>(chi_square_bins) - 1;
  std::fprintf(out,
               "<text x=\"90\" y=\"501\" font-size=\"12\">chi-square of these draws "
               "on the check's %zu equiprobable bins: %.2f on %d degrees of freedom, p = %.2g"
               "</text>\n",
               chi_square_bins, chi2, df, chi_square_tail(chi2, df));
}

// Panel 3: the loss of every histogram against its coupling, on a
// logarithmic axis when logarithmic_couplings says so.
void loss_panel(std::FILE* out, const sampler::sampler& t, int g) {
  const int count = t.histogram_count();
  const double asked = t.losses();
  double H_low = std::numeric_limits<double>::infinity();  // the least above 0
  double H_high = 0.0;
  double loss_high = asked;
  for (int i = 0; i < count; ++i) {
    if (t.coupling(i) > 0.0) H_low = std::min(H_low, t.coupling(i));
    H_high = std::max(H_high, t.coupling(i));
    loss_high = std::max(loss_high, t.loss(i));
  }
  const bool log_x = logarithmic_couplings(H_low, H_high);
  double x0 = log_x ? H_low : std::min(H_low, t.coupling(0));
  if (!(H_high > x0)) H_high = x0 + 1.0;
  if (!log_x) x0 = std::min(x0, 0.0);
  frame f{x0, H_high, 0.0, 1.1 * loss_high, 90.0, 930.0, 760.0, 1080.0};
  f.log_x = log_x;
  // A coupling of 0 has no place on a logarithmic axis: it sits on its
  // left edge.
  const auto x_of = [&](int i) {
    return log_x && t.coupling(i) <= 0.0 ? f.left : f.px(t.coupling(i));
  };
  std::string line;
  for (int i = 0; i < count; ++i) line += text("%.2f,%.2f ", x_of(i), f.py(t.loss(i)));
  std::fprintf(out,
               "<polyline points=\"%s\" fill=\"none\" stroke=\"%s\" stroke-opacity=\"0.5\"/>\n",
               line.c_str(), blue);
  int above = 0;
  for (int i = 0; i < count; ++i) {
    const bool over = t.loss(i) > asked;
    above += over ? 1 : 0;
    std::fprintf(out, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%s\" fill=\"%s\"/>\n", x_of(i),
                 f.py(t.loss(i)), over ? "3" : "2", over ? red : blue);
  }
  horizontal(out, f, asked, red, "6 4");
  std::fprintf(out, "<text x=\"%.1f\" y=\"%.1f\" fill=\"%s\">losses asked: %s %%</text>\n",
               f.left + 6.0, f.py(asked) - 5.0, red, label(asked).c_str());
  std::fprintf(out,
               "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"6\" fill=\"none\" stroke=\"black\" "
               "stroke-width=\"1.4\"/>\n",
               x_of(g), f.py(t.loss(g)));
  axes(out, f,
       log_x ? "coupling H of the histogram (logarithmic; H = 0 on the left edge)"
             : "coupling H of the histogram",
       "loss (%)");
  std::fprintf(out,
               "<text x=\"90\" y=\"745\" font-size=\"16\">Loss of each of the %d "
               "histograms: %d above the losses asked (red); circled: histogram %d</text>\n",
               count, above, g);
}

}  // namespace

double window_left(double h) { return h > 4.0 ? 1.0 - 8.0 / h : -1.0; }

bool logarithmic_couplings(double least_positive, double largest) {
  return std::isfinite(least_positive) && largest > 100.0 * std::max(least_positive, 1.0);
}

void write_svg(std::FILE* out, const sampler::sampler& t, double h, int g,
               const std::vector<double>& drawn) {
  std::fprintf(out,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
               "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"13\">\n"
               "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
               page_width, page_height, page_width, page_height);
  const double left = window_left(h);
  const std::vector<double> counts = counts_of(drawn, left);
  density_panel(out, t, h, g, drawn, counts, left);
  deviation_panel(out, h, drawn, counts, left);
  loss_panel(out, t, g);
  std::fprintf(out, "</svg>\n");
}

}  // namespace o3::checker

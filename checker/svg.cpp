#include "checker/svg.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>

#include "checker/statistics.h"
#include "checker/text.h"

namespace o3::checker {
namespace {

constexpr double page_width = 960.0;
constexpr double page_height = 900.0;
constexpr std::size_t picture_bins = 100;

// A plot area: data ranges mapped to a pixel rectangle, y upwards.
struct frame {
  double x0, x1, y0, y1;
  double left, right, top, bottom;
  double px(double x) const { return left + (x - x0) / (x1 - x0) * (right - left); }
  double py(double y) const { return bottom - (y - y0) / (y1 - y0) * (bottom - top); }
};

// Tick spacing of 1, 2 or 5 times a power of ten, about six ticks a range.
double tick_step(double range) {
  const double raw = range / 6.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double m = raw / power;
  return (m < 1.5 ? 1.0 : m < 3.0 ? 2.0 : m < 7.0 ? 5.0 : 10.0) * power;
}

void axes(std::FILE* out, const frame& f, const char* x_label, const char* y_label) {
  std::fprintf(out, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" "
               "fill=\"none\" stroke=\"black\"/>\n",
               f.left, f.top, f.right - f.left, f.bottom - f.top);
  const double xs = tick_step(f.x1 - f.x0);
  for (double v = std::ceil(f.x0 / xs - 1e-9) * xs; v <= f.x1 + 1e-9 * xs; v += xs) {
    const double x = f.px(v);
    std::fprintf(out, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\"/>"
                 "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%g</text>\n",
                 x, f.bottom, x, f.bottom + 5.0, x, f.bottom + 19.0, std::fabs(v) < 1e-9 * xs ? 0.0 : v);
  }
  const double ys = tick_step(f.y1 - f.y0);
  for (double v = std::ceil(f.y0 / ys - 1e-9) * ys; v <= f.y1 + 1e-9 * ys; v += ys) {
    const double y = f.py(v);
    std::fprintf(out, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\"/>"
                 "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%g</text>\n",
                 f.left - 5.0, y, f.left, y, f.left - 8.0, y + 4.0, std::fabs(v) < 1e-9 * ys ? 0.0 : v);
  }
  std::fprintf(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
               0.5 * (f.left + f.right), f.bottom + 40.0, x_label);
  std::fprintf(out, "<text transform=\"translate(%.1f %.1f) rotate(-90)\" "
               "text-anchor=\"middle\">%s</text>\n",
               f.left - 55.0, 0.5 * (f.top + f.bottom), y_label);
}

void legend(std::FILE* out, double x, double y, const char* colour, const char* label) {
  std::fprintf(out, "<rect x=\"%.1f\" y=\"%.1f\" width=\"14\" height=\"10\" fill=\"%s\"/>"
               "<text x=\"%.1f\" y=\"%.1f\">%s</text>\n", x, y - 9.0, colour, x + 20.0, y, label);
}

void density_panel(std::FILE* out, const sampler::sampler& t, double h, int g,
                   const std::vector<double>& drawn) {
  const std::span<const double> points = t.points(g);
  const double area = t.area(g);
  const double left = window_left(h);
  const double width = (1.0 - left) / static_cast<double>(picture_bins);
  std::vector<double> bars(picture_bins, 0.0);
  for (const double y : drawn) {
    if (y < left) continue;
    bars[std::min(static_cast<std::size_t>((y - left) / width), picture_bins - 1)] += 1.0;
  }
  // Counts to the density's units: the drawn law is exp(h (y - 1)) / I(h).
  const double scale = density_integral(h) / (static_cast<double>(drawn.size()) * width);
  double top = 0.0;
  for (double& b : bars) top = std::max(top, b *= scale);
  for (std::size_t k = 0; k + 1 < points.size(); ++k) {
    if (points[k + 1] > left) top = std::max(top, area / (points[k + 1] - points[k]));
  }
  const frame f{left, 1.0, 0.0, 1.08 * std::max(top, 1.0), 90.0, 930.0, 70.0, 400.0};

  std::string outline = text("M%.2f %.2f", f.px(std::max(left, points[0])), f.py(0.0));
  for (std::size_t k = 0; k + 1 < points.size(); ++k) {
    if (points[k + 1] <= left) continue;
    outline += text(" V%.2f H%.2f", f.py(area / (points[k + 1] - points[k])),
                    f.px(points[k + 1]));
  }
  outline += text(" V%.2f Z", f.py(0.0));
  // Filled under the drawn values, outlined over them: both stay visible.
  std::fprintf(out, "<path d=\"%s\" fill=\"#d9d9d9\"/>\n", outline.c_str());
  for (std::size_t i = 0; i < picture_bins; ++i) {
    const double x = left + static_cast<double>(i) * width;
    std::fprintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" "
                 "fill=\"#3b73b9\" fill-opacity=\"0.5\"/>\n",
                 f.px(x), f.py(bars[i]), f.px(x + width) - f.px(x), f.py(0.0) - f.py(bars[i]));
  }
  std::fprintf(out, "<path d=\"%s\" fill=\"none\" stroke=\"#333\" "
               "stroke-width=\"0.7\"/>\n", outline.c_str());
  std::vector<double> ys(points.begin(), points.end());
  for (int i = 0; i <= 600; ++i) ys.push_back(left + (1.0 - left) * i / 600.0);
  std::sort(ys.begin(), ys.end());
  std::string curve;
  for (const double y : ys) {
    if (y >= left) curve += text("%.2f,%.2f ", f.px(y), f.py(std::exp(h * (y - 1.0))));
  }
  std::fprintf(out, "<polyline points=\"%s\" fill=\"none\" stroke=\"#c62828\" "
               "stroke-width=\"1.6\"/>\n", curve.c_str());

  axes(out, f, "y = cos \u03b8", "density exp(h (y \u2212 1))");
  std::fprintf(out, "<text x=\"90\" y=\"40\" font-size=\"16\">Coupling h = %s: "
               "histogram %d (H = %s, %d pieces, loss %s %%), %zu draws</text>\n",
               exact(h).c_str(), g, exact(t.coupling(g)).c_str(), t.pieces_per_histogram(),
               exact(t.loss(g)).c_str(), drawn.size());
  if (left > -1.0) {
    std::fprintf(out, "<text x=\"90\" y=\"58\" font-size=\"12\">y shown from %s: "
                 "further left the density is below e\u207b\u2078 of its maximum</text>\n",
                 exact(left).c_str());
  }
  legend(out, 110.0, 95.0, "#c62828", "density exp(h (y \u2212 1))");
  legend(out, 110.0, 115.0, "#d9d9d9", "envelope boxes: height = area / piece width");
  legend(out, 110.0, 135.0, "#3b73b9", "drawn values, scaled to the density");
}

void loss_panel(std::FILE* out, const sampler::sampler& t, int g) {
  const int count = t.histogram_count();
  double H_low = t.coupling(0);
  double H_high = H_low;
  double loss_high = 0.0;
  for (int i = 0; i < count; ++i) {
    H_low = std::min(H_low, t.coupling(i));
    H_high = std::max(H_high, t.coupling(i));
    loss_high = std::max(loss_high, t.loss(i));
  }
  if (!(H_high > H_low)) H_high = H_low + 1.0;
  const frame f{H_low, H_high, 0.0, loss_high > 0.0 ? 1.08 * loss_high : 1.0,
                90.0, 930.0, 520.0, 820.0};
  std::string line;
  for (int i = 0; i < count; ++i) {
    line += text("%.2f,%.2f ", f.px(t.coupling(i)), f.py(t.loss(i)));
  }
  std::fprintf(out, "<polyline points=\"%s\" fill=\"none\" stroke=\"#3b73b9\"/>\n", line.c_str());
  for (int i = 0; i < count; ++i) {
    std::fprintf(out, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"2.2\" fill=\"#3b73b9\"/>\n",
                 f.px(t.coupling(i)), f.py(t.loss(i)));
  }
  std::fprintf(out, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"5\" fill=\"none\" stroke=\"#c62828\" "
               "stroke-width=\"1.6\"/>\n", f.px(t.coupling(g)), f.py(t.loss(g)));
  axes(out, f, "coupling H of the histogram", "loss (%)");
  std::fprintf(out, "<text x=\"90\" y=\"500\" font-size=\"16\">Loss of each of the %d "
               "histograms, as written in its record (circled: histogram %d)</text>\n",
               count, g);
}

}  // namespace

double window_left(double h) { return h > 4.0 ? 1.0 - 8.0 / h : -1.0; }

void write_svg(std::FILE* out, const sampler::sampler& t, double h, int g,
               const std::vector<double>& drawn) {
  std::fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
               "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"13\">\n"
               "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
               page_width, page_height, page_width, page_height);
  density_panel(out, t, h, g, drawn);
  loss_panel(out, t, g);
  std::fprintf(out, "</svg>\n");
}

}  // namespace o3::checker

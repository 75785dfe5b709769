// Draws the menu icon: the story's hot-air balloon alone, on a transparent ground, as
// SVG. The envelope follows the outline of the balloon in the picture (a circle that
// narrows into a cone); the gores are meridians, so they meet at top and bottom.
//   draw_icon <output.svg>
// The PNG sizes of the icon theme are rendered from this file at build time.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kCanvas = 256;
constexpr double kCentreX = kCanvas / 2;
constexpr double kRadius = 76;
constexpr double kTop = 10;
constexpr double kCentreY = kTop + kRadius;
// Below its centre the envelope narrows over this many radii down to its mouth.
constexpr double kConeLength = 1.55;
constexpr double kMouth = kCentreY + kRadius * kConeLength;
constexpr double kRopeLength = 0.29 * kRadius;
constexpr double kBasketHeight = 0.32 * kRadius;
constexpr double kRopeHalf = 0.28 * kRadius;
constexpr double kBasketHalf = 0.20 * kRadius;
constexpr int kGores = 6;
constexpr int kRows = 24;  // outline samples over the dome, and again over the cone

// Half the envelope's width at height y.
double HalfWidth(double y) {
    const double dy = y - kCentreY;
    if (dy <= 0) return std::sqrt(std::max(0.0, kRadius * kRadius - dy * dy));
    const double t = dy / (kMouth - kCentreY);
    return kRadius * std::sqrt(std::max(0.0, 1.0 - t * t * 0.55)) * (1.0 - 0.72 * t);
}

// x="..." y="..." attributes, or x1/y1 etc. with a suffix, or other names.
std::string Coordinates(const std::string& suffix, double x, double y, const std::string& x_name = "x",
                        const std::string& y_name = "y") {
    char text[96];
    std::snprintf(text, sizeof text, "%s%s=\"%.2f\" %s%s=\"%.2f\"", x_name.c_str(), suffix.c_str(), x, y_name.c_str(),
                  suffix.c_str(), y);
    return text;
}

std::string Point(double x, double y) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f,%.2f", x, y);
    return text;
}

// Heights at which the outline is sampled: evenly by angle over the dome, so that its
// top stays round, then evenly down the cone.
std::vector<double> Rows() {
    std::vector<double> rows;
    for (int i = 0; i < kRows; ++i) rows.push_back(kCentreY - kRadius * std::cos(std::numbers::pi / 2 * i / kRows));
    for (int i = 0; i <= kRows; ++i) rows.push_back(kCentreY + (kMouth - kCentreY) * i / kRows);
    return rows;
}

// The outline between two meridians, given as sines of their angles (-1 left, 1 right).
std::string Gore(double left, double right) {
    const std::vector<double> rows = Rows();
    std::string points;
    for (auto y = rows.begin(); y != rows.end(); ++y) points += Point(kCentreX + left * HalfWidth(*y), *y) + " ";
    for (auto y = rows.rbegin(); y != rows.rend(); ++y) points += Point(kCentreX + right * HalfWidth(*y), *y) + " ";
    points.pop_back();
    return points;
}

std::string Svg() {
    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
    svg += "  <defs>\n";
    // Lit from the low sun on the left, as in the picture.
    svg += "    <linearGradient id=\"light\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"0\">\n";
    svg += "      <stop offset=\"0\" stop-color=\"#ffffff\" stop-opacity=\"0.25\"/>\n";
    svg += "      <stop offset=\"0.45\" stop-color=\"#ffffff\" stop-opacity=\"0\"/>\n";
    svg += "      <stop offset=\"1\" stop-color=\"#000000\" stop-opacity=\"0.35\"/>\n";
    svg += "    </linearGradient>\n";
    svg += "  </defs>\n";
    const char* colours[2] = {"#e02924", "#fac933"};
    for (int k = 0; k < kGores; ++k) {
        const double a0 = -std::numbers::pi / 2 + std::numbers::pi * k / kGores;
        const double a1 = -std::numbers::pi / 2 + std::numbers::pi * (k + 1) / kGores;
        svg += "  <polygon fill=\"" + std::string(colours[k % 2]) + "\" points=\"" + Gore(std::sin(a0), std::sin(a1)) +
               "\"/>\n";
    }
    svg += "  <polygon fill=\"url(#light)\" points=\"" + Gore(-1, 1) + "\"/>\n";
    // Ropes from the mouth down to the basket, then the basket.
    const double basket_top = kMouth + kRopeLength;
    for (double side : {-1.0, 1.0}) {
        svg += "  <line stroke=\"#3a2418\" stroke-width=\"5\" stroke-linecap=\"round\" " +
               Coordinates("1", kCentreX + side * kRopeHalf, kMouth - 3) + " " +
               Coordinates("2", kCentreX + side * kBasketHalf, basket_top) + "/>\n";
    }
    svg += "  <rect fill=\"#7a4a1f\" stroke=\"#3a2418\" stroke-width=\"3\" rx=\"4\" " +
           Coordinates("", kCentreX - kBasketHalf, basket_top) + " " +
           Coordinates("", 2 * kBasketHalf, kBasketHeight, "width", "height") + "/>\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.svg>\n", argv[0]);
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const std::string svg = Svg();
    const bool written = std::fwrite(svg.data(), 1, svg.size(), out) == svg.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}

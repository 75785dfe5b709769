// Draws the story's picture: a hot-air balloon in an evening sky, with the moon, a few
// stars and the ground below, and writes it as a baseline JPEG.
//   draw_balloon <output.jpeg> [size]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "rgb_jpeg_writer.h"

namespace {

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double SmoothStep(double e0, double e1, double x) {
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Deterministic hash noise, so that the picture is the same on every run.
double Hash(int x, int y) {
    unsigned h = static_cast<unsigned>(x) * 374761393u + static_cast<unsigned>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

// The scene in unit coordinates: u to the right, v downwards, both 0..1.
Rgb Scene(double u, double v) {
    // Sky: night blue above, through violet, to an orange glow at the horizon.
    const Rgb top{0.05, 0.07, 0.25}, middle{0.42, 0.25, 0.52}, low{0.98, 0.58, 0.30};
    Rgb colour = v < 0.45 ? Mix(top, middle, v / 0.45) : Mix(middle, low, (v - 0.45) / 0.33);

    // Stars in the upper sky.
    const int cell_x = static_cast<int>(u * 24), cell_y = static_cast<int>(v * 24);
    if (v < 0.42 && Hash(cell_x, cell_y) > 0.86) {
        const double sx = (cell_x + 0.2 + 0.6 * Hash(cell_y, cell_x)) / 24.0;
        const double sy = (cell_y + 0.2 + 0.6 * Hash(cell_x + 7, cell_y + 3)) / 24.0;
        const double d = std::hypot(u - sx, v - sy);
        colour = Mix(colour, {1.0, 0.97, 0.85}, 1.0 - SmoothStep(0.0015, 0.0045, d));
    }

    // The moon: a crescent with a faint halo.
    const double moon_x = 0.80, moon_y = 0.16, moon_r = 0.065;
    const double dm = std::hypot(u - moon_x, v - moon_y);
    colour = Mix(colour, {0.55, 0.50, 0.65}, 0.35 * (1.0 - SmoothStep(moon_r, moon_r * 2.2, dm)));
    const double lit = 1.0 - SmoothStep(moon_r - 0.002, moon_r + 0.002, dm);
    const double shade =
        1.0 - SmoothStep(moon_r - 0.002, moon_r + 0.002, std::hypot(u - moon_x + 0.03, v - moon_y + 0.015));
    colour = Mix(colour, {1.0, 0.95, 0.75}, lit * (1.0 - shade));

    // The ground: two rolling hills, dark against the glow.
    const double far_hill = 0.80 - 0.03 * std::sin(u * 7.0 + 1.0) - 0.02 * std::sin(u * 17.0);
    const double near_hill = 0.87 - 0.04 * std::sin(u * 4.0 + 2.5);
    colour = Mix(colour, {0.20, 0.16, 0.28}, SmoothStep(far_hill - 0.003, far_hill + 0.003, v));
    colour = Mix(colour, Mix({0.10, 0.18, 0.10}, {0.04, 0.08, 0.05}, (v - near_hill) / 0.15),
                 SmoothStep(near_hill - 0.003, near_hill + 0.003, v));

    // The balloon: envelope of a circle narrowing into a cone, stripes, ropes, basket.
    const double bx = 0.40, by = 0.36, br = 0.17;
    const double dx = u - bx, dy = v - by;
    const double bottom = by + br * 1.55;
    double inside = 0;
    if (dy <= 0.0) {
        inside = 1.0 - SmoothStep(br - 0.003, br + 0.003, std::hypot(dx, dy));
    } else if (v < bottom) {
        const double t = dy / (bottom - by);
        const double half = br * std::sqrt(std::max(0.0, 1.0 - t * t * 0.55)) * (1.0 - 0.72 * t);
        inside = 1.0 - SmoothStep(half - 0.003, half + 0.003, std::abs(dx));
    }
    if (inside > 0) {
        const double angle = std::atan2(dx, br * 1.05);
        const int stripe = static_cast<int>(std::floor(angle * 5.0 + 10.0));
        Rgb cloth = stripe % 2 == 0 ? Rgb{0.88, 0.16, 0.14} : Rgb{0.98, 0.80, 0.20};
        // Lit from the low sun on the left, darker towards the right.
        const double light = 0.55 + 0.45 * std::clamp(0.6 - dx / br, 0.0, 1.0);
        cloth = {cloth.r * light, cloth.g * light, cloth.b * light};
        colour = Mix(colour, cloth, inside);
    }
    const double basket_top = bottom + 0.05, basket_bottom = basket_top + 0.04;
    const double rope_half = br * 0.28, basket_half = 0.028;
    if (v > bottom - 0.005 && v < basket_top) {
        const double t = (v - bottom) / (basket_top - bottom);
        const double w = rope_half + (basket_half - rope_half) * t;
        for (double side : {-1.0, 1.0})
            colour = Mix(colour, {0.15, 0.10, 0.08}, 1.0 - SmoothStep(0.0, 0.0025, std::abs(dx - side * w)));
    }
    if (v >= basket_top && v <= basket_bottom && std::abs(dx) <= basket_half) {
        const double weave = 0.85 + 0.15 * std::sin(v * 900.0);
        colour = {0.45 * weave, 0.28 * weave, 0.12 * weave};
    }
    return colour;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <output.jpeg> [size]\n", argv[0]);
        return 2;
    }
    const int size = argc == 3 ? std::atoi(argv[2]) : 600;
    if (size < 16 || size > 8000) {
        std::fprintf(stderr, "size must be 16..8000\n");
        return 2;
    }
    // 3x3 samples per pixel keep the edges soft.
    const bool written = WriteRgbJpeg(argv[1], size, size, 90, [size](int y, JSAMPLE* row) {
        for (int x = 0; x < size; ++x) {
            Rgb sum{0, 0, 0};
            for (int sy = 0; sy < 3; ++sy)
                for (int sx = 0; sx < 3; ++sx) {
                    const Rgb c = Scene((x + (sx + 0.5) / 3) / size, (y + (sy + 0.5) / 3) / size);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                }
            row[3 * x + 0] = static_cast<JSAMPLE>(std::lround(std::clamp(sum.r / 9, 0.0, 1.0) * 255));
            row[3 * x + 1] = static_cast<JSAMPLE>(std::lround(std::clamp(sum.g / 9, 0.0, 1.0) * 255));
            row[3 * x + 2] = static_cast<JSAMPLE>(std::lround(std::clamp(sum.b / 9, 0.0, 1.0) * 255));
        }
    });
    if (!written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}

// An RGB picture taken from the screen, comparable pixel by pixel and savable as PNG.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <utility>
#include <vector>

namespace e2e {

using Rgb = std::array<std::uint8_t, 3>;

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, 3 bytes per pixel

    Rgb Pixel(int x, int y) const {
        const auto* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
    // Writes a PNG; throws when it cannot.
    void SavePng(const std::filesystem::path& path) const;
};

// Width and height from a PNG file's header; {0, 0} when it is not a PNG.
std::pair<int, int> PngSize(const std::filesystem::path& path);

// Where tests keep pictures for people to look at (build/artifacts), created on demand.
std::filesystem::path ArtifactDir();

}  // namespace e2e

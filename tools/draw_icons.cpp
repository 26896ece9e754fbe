// Writes the program's icon for the desktop's icon theme as PNG files:
//
//   draw_icons <output folder> <size> ... [scalable]
//
// one <output folder>/<size>x<size>/apps/dravix.png per size, laid out as a hicolor theme folder
// is, and for "scalable" <output folder>/scalable/apps/dravix.svg. Each is drawn from the closed
// toggle's picture by squareIcon, as the window's own icon is, so the application menu shows what
// the taskbar shows. The build runs it; scripts/install.sh copies its output.

#include "assets/picture_store.h"
#include "platform/icon.h"

#include <png.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// The picture the window shows when the strip is closed: its icon on X11 and on Windows too.
constexpr std::string_view iconPicture = "k1";

// The largest icon the hicolor theme has a folder for.
constexpr int largestSize = 512;

bool writePng(const std::filesystem::path& path, int size,
              const std::vector<std::uint32_t>& argbPixels) {
    std::vector<std::uint8_t> rgba;
    rgba.reserve(argbPixels.size() * 4);
    for (const std::uint32_t pixel : argbPixels) {
        rgba.push_back(static_cast<std::uint8_t>(pixel >> 16));
        rgba.push_back(static_cast<std::uint8_t>(pixel >> 8));
        rgba.push_back(static_cast<std::uint8_t>(pixel));
        rgba.push_back(static_cast<std::uint8_t>(pixel >> 24));
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size);
    image.height = static_cast<png_uint_32>(size);
    image.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) == 0) {
        std::fprintf(stderr, "draw_icons: cannot write %s: %s\n", path.c_str(), image.message);
        return false;
    }
    return true;
}

// The picture as an SVG drawing of one square per pixel, on a square canvas as squareIcon centres
// it: the squares of each colour form one path, and crispEdges keeps their edges sharp at any
// size, so the icon shows the same pixels as the PNG files however large it is drawn.
bool writeSvg(const std::filesystem::path& folder, const dravix::Picture& picture) {
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    const std::filesystem::path path = folder / "dravix.svg";
    const int size = std::max(picture.width(), picture.height());
    const int left = (size - picture.width()) / 2;
    const int top = (size - picture.height()) / 2;
    std::map<std::string, std::string> squaresByColour;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const dravix::Rgb colour = picture.pixel(x, y);
            char name[8];
            std::snprintf(name, sizeof name, "#%02x%02x%02x", colour.red, colour.green,
                          colour.blue);
            std::string& squares = squaresByColour[name];
            squares.append("M").append(std::to_string(left + x));
            squares.append(" ").append(std::to_string(top + y)).append("h1v1h-1z");
        }
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    const std::string side = std::to_string(size);
    file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << side << "\" height=\"" << side
         << "\" viewBox=\"0 0 " << side << " " << side << "\" shape-rendering=\"crispEdges\">\n";
    for (const auto& [colour, squares] : squaresByColour)
        file << "<path fill=\"" << colour << "\" d=\"" << squares << "\"/>\n";
    file << "</svg>\n";
    file.close();
    if (failure || !file) {
        std::fprintf(stderr, "draw_icons: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: draw_icons <output folder> <size> ... [scalable]\n");
        return 2;
    }
    const std::filesystem::path output = argv[1];
    const dravix::Picture& picture = dravix::storePicture(iconPicture);
    for (int argument = 2; argument < argc; ++argument) {
        const std::string_view text = argv[argument];
        if (text == "scalable") {
            if (!writeSvg(output / "scalable" / "apps", picture))
                return 1;
            continue;
        }
        int size = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
        if (error != std::errc() || end != text.data() + text.size() || size < 1 ||
            size > largestSize) {
            std::fprintf(stderr, "draw_icons: %s is not an icon size (1 to %d)\n", argv[argument],
                         largestSize);
            return 2;
        }
        const std::string sizeName = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path folder = output / sizeName / "apps";
        std::error_code failure;
        std::filesystem::create_directories(folder, failure);
        if (failure) {
            std::fprintf(stderr, "draw_icons: cannot make %s: %s\n", folder.c_str(),
                         failure.message().c_str());
            return 1;
        }
        if (!writePng(folder / "dravix.png", size, dravix::squareIcon(picture, size)))
            return 1;
    }
    return 0;
}

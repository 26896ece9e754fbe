// Writes the program's icon, drawn from the closed toggle's picture by squareIcon as the window's
// own icon is, so that the application menu and Explorer show what the taskbar shows:
//
//   draw_icons <output folder> <size> ... [scalable]
//
// one <output folder>/<size>x<size>/apps/dravix.png per size, laid out as a hicolor theme folder
// is, and for "scalable" <output folder>/scalable/apps/dravix.svg, for the desktop's icon theme
// (the build runs it; scripts/install.sh copies its output);
//
//   draw_icons --ico <file.ico> <size> ...
//
// one Windows icon file with an image of each size (1 to 256), which dravix.rc embeds in
// dravix.exe; the Windows build runs it on the host.

#include "assets/picture_store.h"
#include "platform/icon.h"
#include "tools/icon_files.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// The picture the window shows when the strip is closed: its icon on X11 and on Windows too.
constexpr std::string_view iconPicture = "k1";

// The largest icon the hicolor theme has a folder for, and the largest an .ico image can be.
constexpr int largestSize = 512;
constexpr int largestIcoSize = 256;

bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        std::fprintf(stderr, "draw_icons: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// The size an argument names; nothing, after saying why, when it is not a whole number from 1 to
// `largest`.
std::optional<int> sizeFrom(std::string_view text, int largest) {
    int size = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (error != std::errc() || end != text.data() + text.size() || size < 1 || size > largest) {
        std::fprintf(stderr, "draw_icons: %.*s is not an icon size (1 to %d)\n",
                     static_cast<int>(text.size()), text.data(), largest);
        return std::nullopt;
    }
    return size;
}

dravix::icons::SquareImage drawn(int size) {
    return {size, dravix::squareIcon(dravix::storePicture(iconPicture), size)};
}

bool writePng(const std::filesystem::path& output, int size) {
    const std::string sizeName = std::to_string(size) + "x" + std::to_string(size);
    const std::filesystem::path folder = output / sizeName / "apps";
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (failure) {
        std::fprintf(stderr, "draw_icons: cannot make %s: %s\n", folder.c_str(),
                     failure.message().c_str());
        return false;
    }
    const std::optional<std::vector<std::uint8_t>> png = dravix::icons::pngFile(drawn(size));
    if (!png) {
        std::fprintf(stderr, "draw_icons: cannot encode the %s icon\n", sizeName.c_str());
        return false;
    }
    return writeFile(folder / "dravix.png", *png);
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

int writeIco(const std::filesystem::path& path, int argc, char** argv) {
    std::vector<dravix::icons::SquareImage> images;
    for (int argument = 3; argument < argc; ++argument) {
        const std::optional<int> size = sizeFrom(argv[argument], largestIcoSize);
        if (!size)
            return 2;
        images.push_back(drawn(*size));
    }
    const std::optional<std::vector<std::uint8_t>> file = dravix::icons::icoFile(images);
    if (!file) {
        std::fprintf(stderr, "draw_icons: cannot encode the icon for %s\n", path.c_str());
        return 1;
    }
    return writeFile(path, *file) ? 0 : 1;
}

int writeTheme(const std::filesystem::path& output, int argc, char** argv) {
    for (int argument = 2; argument < argc; ++argument) {
        const std::string_view text = argv[argument];
        if (text == "scalable") {
            if (!writeSvg(output / "scalable" / "apps", dravix::storePicture(iconPicture)))
                return 1;
            continue;
        }
        const std::optional<int> size = sizeFrom(text, largestSize);
        if (!size)
            return 2;
        if (!writePng(output, *size))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool ico = argc > 1 && std::string_view(argv[1]) == "--ico";
    if (argc < (ico ? 4 : 3)) {
        std::fprintf(stderr, "usage: draw_icons <output folder> <size> ... [scalable]\n"
                             "       draw_icons --ico <file.ico> <size> ...\n");
        return 2;
    }
    return ico ? writeIco(argv[2], argc, argv) : writeTheme(argv[1], argc, argv);
}

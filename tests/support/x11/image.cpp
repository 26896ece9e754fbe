#include "tests/support/x11/image.h"

#include "assets/bmp.h"

#include <fstream>
#include <sstream>

namespace dravix::x11test {

Image::Image(int width, int height, Rgb fill) : width_(width), height_(height) {
    rgb_.reserve(3 * static_cast<std::size_t>(width * height));
    for (int pixel = 0; pixel < width * height; ++pixel)
        rgb_.insert(rgb_.end(), {fill.red, fill.green, fill.blue});
}

Image::Image(int width, int height, std::vector<std::uint8_t> rgb)
    : width_(width), height_(height), rgb_(std::move(rgb)) {
    rgb_.resize(3 * static_cast<std::size_t>(width * height));
}

void Image::paste(const Picture& picture, int srcX, int srcY, int width, int height, int x, int y) {
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const int toX = x + column;
            const int toY = y + row;
            if (toX < 0 || toY < 0 || toX >= width_ || toY >= height_)
                continue;
            set(toX, toY, picture.pixel(srcX + column, srcY + row));
        }
    }
}

void Image::paste(const Picture& picture, int x, int y) {
    paste(picture, 0, 0, picture.width(), picture.height(), x, y);
}

bool Image::writeBmp(const std::filesystem::path& path) const {
    if (width_ <= 0 || height_ <= 0)
        return false;
    const std::vector<std::uint8_t> bmp = encodeBmp(width_, height_, rgb_);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    return static_cast<bool>(file);
}

std::optional<Difference> compare(const Screenshot& actual, const Image& expected) {
    const Image& got = actual.image;
    Difference difference;
    if (got.width() != expected.width() || got.height() != expected.height()) {
        difference.reason = "the screenshot is " + std::to_string(got.width()) + " x " +
                            std::to_string(got.height()) + ", expected " +
                            std::to_string(expected.width()) + " x " +
                            std::to_string(expected.height());
        return difference;
    }
    if (actual.visibleX0 >= actual.visibleX1 || actual.visibleY0 >= actual.visibleY1) {
        difference.reason = "no part of the window is on the screen";
        return difference;
    }
    for (int y = actual.visibleY0; y < actual.visibleY1; ++y) {
        for (int x = actual.visibleX0; x < actual.visibleX1; ++x) {
            ++difference.compared;
            if (got.at(x, y) != expected.at(x, y) && difference.differing++ == 0) {
                difference.firstX = x;
                difference.firstY = y;
            }
        }
    }
    if (difference.differing == 0)
        return std::nullopt;
    return difference;
}

namespace {

std::string describe(Rgb colour) {
    std::ostringstream text;
    text << "rgb(" << int{colour.red} << ", " << int{colour.green} << ", " << int{colour.blue}
         << ")";
    return text.str();
}

} // namespace

std::string mismatchReport(const Screenshot& actual, const Image& expected,
                           const std::string& label, const std::filesystem::path& folder) {
    const std::optional<Difference> difference = compare(actual, expected);
    if (!difference)
        return {};
    std::ostringstream report;
    report << label << ": ";
    if (!difference->reason.empty()) {
        report << difference->reason;
    } else {
        const Rgb got = actual.image.at(difference->firstX, difference->firstY);
        const Rgb wanted = expected.at(difference->firstX, difference->firstY);
        report << difference->differing << " of " << difference->compared
               << " pixels differ; the first at window (" << difference->firstX << ", "
               << difference->firstY << ") is " << describe(got) << ", expected "
               << describe(wanted);
    }
    const std::filesystem::path actualPath = folder / (label + "-actual.bmp");
    const std::filesystem::path expectedPath = folder / (label + "-expected.bmp");
    if (actual.image.writeBmp(actualPath) && expected.writeBmp(expectedPath)) {
        report << "; screenshot saved as " << actualPath.string() << ", the expected image as "
               << expectedPath.string();
    } else {
        report << "; could not save the images into " << folder.string();
    }
    return report.str();
}

} // namespace dravix::x11test

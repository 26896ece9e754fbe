#include "platform/fake/fake_window.h"

#include "assets/bmp.h"

#include <fstream>
#include <stdexcept>

namespace dravix {

void FakeWindow::setGeometry(const WindowGeometry& geometry) {
    geometry_ = geometry;
    geometryChanges_.push_back(geometry);
}

void FakeWindow::moveByWindowManager(Place place) {
    geometry_.left = place.left;
    geometry_.top = place.top;
}

ScreenRect FakeWindow::workAreaNear(const ScreenRect& area) const {
    return monitorFor(monitors_, area).workArea;
}

void FakeWindow::present(const Frame& frame) {
    if (frame.width != geometry_.width || frame.height != geometry_.height)
        throw std::logic_error("a frame must match the window's size");
    lastFrame_ = frame;
    ++frameCount_;
}

PixelSize FakeWindow::tipSize(const std::string& text) {
    int characters = 0;
    for (const char byte : text)
        characters += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return {characters * tipCharacterWidth + 2 * tipPadding, tipHeight};
}

void FakeWindow::showError(const std::string& text) {
    errors_.push_back(text);
    runWhileModal();
}

std::optional<std::string> FakeWindow::chooseFile(const std::string& initialName) {
    dialogInitialNames_.push_back(initialName);
    runWhileModal();
    if (dialogAnswers_.empty())
        return std::nullopt;
    std::optional<std::string> answer = std::move(dialogAnswers_.front());
    dialogAnswers_.pop_front();
    return answer;
}

void FakeWindow::runWhileModal() {
    if (!whileModal_ || inModal_)
        return;
    inModal_ = true;
    whileModal_();
    inModal_ = false;
}

void FakeWindow::exitProcess(int status) {
    if (exitStatus_)
        throw std::logic_error("the process has already ended");
    exitStatus_ = status;
}

void FakeWindow::queueDialogAnswer(std::optional<std::string> answer) {
    dialogAnswers_.push_back(std::move(answer));
}

void FakeWindow::dumpLastFrame(const std::string& path) const {
    const std::vector<std::uint8_t> bmp =
        encodeBmp(lastFrame_.width, lastFrame_.height, lastFrame_.rgb);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
}

void FakeWindow::startNewProcess() {
    geometry_ = {};
    geometryChanges_.clear();
    lastFrame_ = {};
    frameCount_ = 0;
    errors_.clear();
    dialogAnswers_.clear();
    dialogInitialNames_.clear();
    tip_.reset();
    exitStatus_.reset();
    accessibleEvents_.clear();
    ticking_ = false;
}

} // namespace dravix

#include "platform/x11/x11_properties.h"

#include <algorithm>

namespace dravix::x11 {

namespace {

// One property's items as the server hands them over, freed with the reply.
class Reply {
public:
    // `units` counts 32-bit units, as XGetWindowProperty's length does.
    Reply(Display* display, Window window, Atom property, long units, Atom type) {
        Atom actualType = None;
        unsigned long remaining = 0;
        if (XGetWindowProperty(display, window, property, 0, units, False, type, &actualType,
                               &format_, &count_, &remaining, &data_) != Success ||
            actualType == None || (type != AnyPropertyType && actualType != type)) {
            format_ = 0;
            count_ = 0;
        }
    }
    ~Reply() {
        if (data_ != nullptr)
            XFree(data_);
    }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;

    // The items when the property is there, of the type asked for, with `format` bits each;
    // none otherwise.
    const unsigned char* items(int format) const { return format_ == format ? data_ : nullptr; }
    unsigned long count() const { return count_; }

private:
    int format_ = 0;
    unsigned long count_ = 0;
    unsigned char* data_ = nullptr;
};

} // namespace

std::vector<long> cardinals(Display* display, Window window, Atom property, long limit, Atom type) {
    const Reply reply(display, window, property, limit, type);
    const auto* longs = reinterpret_cast<const long*>(reply.items(32));
    if (longs == nullptr)
        return {};
    return {longs, longs + reply.count()};
}

std::optional<std::string> bytes(Display* display, Window window, Atom property, long limit,
                                 Atom type) {
    const Reply reply(display, window, property, (limit + 3) / 4, type);
    const auto* text = reinterpret_cast<const char*>(reply.items(8));
    if (text == nullptr)
        return std::nullopt;
    return std::string(text, std::min<unsigned long>(reply.count(), limit));
}

} // namespace dravix::x11

// The mathematical functions the toolkit linked into the portable program calls (FLTK's arcs and
// colour chooser, the PNG and font libraries), taken from the C library's libm only when one is
// first called. None is called while the strip starts or rests, so the shared libm, which the
// dynamic loader would otherwise map and relocate at every start (some 300 KiB of it resident),
// is not loaded at all until a dialog or a tip needs it. These definitions take the place of
// libm's for the whole program; each hands its call to libm's own function. Built only into the
// program that links the toolkit's archives; the shared toolkit needs libm itself.

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

// libm's function of that name, loaded with the library on first use. A C library without libm
// cannot run this program at all, so its absence ends it with a message.
template <typename Function> Function fromLibm(const char* name) {
    static void* const library = ::dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
    void* const function = library != nullptr ? ::dlsym(library, name) : nullptr;
    if (function == nullptr) {
        std::fprintf(stderr, "dravix: cannot load %s from libm.so.6\n", name);
        std::abort();
    }
    return reinterpret_cast<Function>(function);
}

} // namespace

extern "C" {

double acos(double x) {
    static const auto real = fromLibm<double (*)(double)>("acos");
    return real(x);
}

double floor(double x) {
    static const auto real = fromLibm<double (*)(double)>("floor");
    return real(x);
}

double frexp(double x, int* exponent) {
    static const auto real = fromLibm<double (*)(double, int*)>("frexp");
    return real(x, exponent);
}

double log(double x) {
    static const auto real = fromLibm<double (*)(double)>("log");
    return real(x);
}

double modf(double x, double* whole) {
    static const auto real = fromLibm<double (*)(double, double*)>("modf");
    return real(x, whole);
}

double pow(double x, double y) {
    static const auto real = fromLibm<double (*)(double, double)>("pow");
    return real(x, y);
}

void sincos(double x, double* sine, double* cosine) {
    static const auto real = fromLibm<void (*)(double, double*, double*)>("sincos");
    real(x, sine, cosine);
}

double sqrt(double x) {
    static const auto real = fromLibm<double (*)(double)>("sqrt");
    return real(x);
}

int fegetround() {
    static const auto real = fromLibm<int (*)()>("fegetround");
    return real();
}

int fesetround(int mode) {
    static const auto real = fromLibm<int (*)(int)>("fesetround");
    return real(mode);
}
}

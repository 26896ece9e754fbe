#include "scene/scene.h"
#include <FL/Fl.H>

#include "app/scene/scene.h"
#include <FL/Fl.H>

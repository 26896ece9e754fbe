#pragma once

#include "app/main_window.h"

#pragma once
#include <string>
#include <windows.h>

#pragma once

// Resource numbers shared by dravix.rc and the code that loads the resources.
#define DRAVIX_PROGRAM_ICON 1

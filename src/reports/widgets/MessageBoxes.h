#pragma once

#include "common/widgets/MessageBoxes.h"

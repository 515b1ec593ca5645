// A card header that uses the layer below it.
#pragma once
#include "base/results.h"

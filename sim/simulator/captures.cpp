#include "captures.h"

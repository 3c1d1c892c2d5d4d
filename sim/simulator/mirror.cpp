#include "mirror.h"

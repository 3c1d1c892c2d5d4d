// The same caller, compiled as C++.
#include "c_caller.c"

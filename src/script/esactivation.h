#pragma once

#include "script/esclass.h"

// The class of activation objects: a function's parameters and locals as properties, in
// the order of its variable table, for functions whose variables are reached by name.
class ESActivation : public ESClass {};

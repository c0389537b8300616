#include "build/builder.h"

Builder::~Builder() = default;

#pragma once

#include "Left.h"

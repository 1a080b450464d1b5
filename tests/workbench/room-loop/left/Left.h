#pragma once

#include "Right.h"

#include "table/sweep_guard.hpp"

#include <gtest/gtest.h>

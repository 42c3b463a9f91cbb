#include "table/sweep.hpp"

#include <gtest/gtest.h>

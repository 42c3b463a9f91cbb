#include "table/curve_table.hpp"

#include <gtest/gtest.h>
